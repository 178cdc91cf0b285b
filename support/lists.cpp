// Intrusive singly linked lists threaded through each node's first field, with a free list.
#include "support/support.h"

#include <cstring>

namespace spumex {

void** nodelist = nullptr;
int32_t nodesize = 0;

// The link stored at a cell (a list head or a node's first field).
static void* getlink(const void* cell) {
  void* link;
  memcpy(&link, cell, sizeof link);
  return link;
}

static void setlink(void* cell, void* link) {
  memcpy(cell, &link, sizeof link);
}

void* allocnode() {
  if (!nodelist) return nullptr;
  void* node = getlink(nodelist);
  if (!node) return nullptr;
  setlink(nodelist, getlink(node));
  if (nodesize > 0) memset(node, 0, (size_t)nodesize);
  setlink(node, nullptr);
  return node;
}

void freenode(void* node) {
  if (!nodelist || !node) return;
  setlink(node, getlink(nodelist));
  setlink(nodelist, node);
}

void appendnode(void** cell, void* node) {
  if (!node) return;
  void* at = cell;
  for (void* next = getlink(at); next; next = getlink(at)) at = next;
  setlink(at, node);
  setlink(node, nullptr);
}

void unlinknode(void** cell, void* node) {
  void* at = cell;
  for (void* next = getlink(at); next; next = getlink(at)) {
    if (next == node) {
      setlink(at, getlink(node));
      setlink(node, nullptr);
      freenode(node);
      return;
    }
    at = next;
  }
}

void chainnodes(void* array, int32_t size, int32_t count) {
  if (count < 1 || size < (int32_t)sizeof(void*)) return;
  uint8_t* base = (uint8_t*)array;
  memset(base, 0, (size_t)size * (size_t)count);
  for (int32_t i = 0; i + 1 < count; i++) setlink(base + (size_t)i * size, base + (size_t)(i + 1) * size);
}

void clearnode(void** cell) {
  setlink(cell, nullptr);
}

}  // namespace spumex
