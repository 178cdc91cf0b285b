// Preset slots: scene texts in memory, mirrored by one text file per slot.
#include "presets/presets.h"

#include "app/state.h"
#include "gfx/gfx.h"
#include "sim/sim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace spumex {

char* presets[NPRESETS];

constexpr int MAXLINKS = 40;  // symbolic links a store follows before it gives up

// Name of a slot's file for the given HOME value (null: current directory).
static int formatname(char* buffer, int size, int slot, const char* home) {
  char empty[1];
  if (size <= 0) {
    buffer = empty;
    size = 1;
  }
  int n = home ? snprintf(buffer, (size_t)size, "%s/.spumexpreset%d", home, slot)
               : snprintf(buffer, (size_t)size, "spumex%d", slot);
  if (n < 0 || n >= size) buffer[0] = 0;  // never leave a cut-off name behind
  return n;
}

int presetname(char* buffer, int size, int slot) {
  return formatname(buffer, size, slot, getenv("HOME"));
}

// Name of a slot's file: in local when it fits, else in a new allocation
// (the caller frees it); null when it cannot be built.
static char* slotname(int slot, char* local, int localsize) {
  const char* home = getenv("HOME");
  int n = formatname(local, localsize, slot, home);
  if (n < 0) return nullptr;
  if (n < localsize) return local;
  char* name = (char*)malloc((size_t)n + 1);
  if (name == nullptr) return nullptr;
  formatname(name, n + 1, slot, home);
  return name;
}

// Writes all bytes, going on after short writes; 0 on success, else errno.
static int writeall(int fd, const char* p, size_t count) {
  while (count > 0) {
    ssize_t done = write(fd, p, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (done == 0) return ENOSPC;
    p += done;
    count -= (size_t)done;
  }
  return 0;
}

// Name of the file that a store replaces: name itself, or the end of its
// chain of symbolic links, a relative link read against the link's own
// directory. A link to nothing yet ends the chain there. A new allocation
// the caller frees; null with errno set (ELOOP for a chain that never ends).
static char* followlinks(const char* name) {
  char* path = strdup(name);
  char target[PATH_MAX];
  for (int links = 0; path != nullptr; links++) {
    ssize_t n = readlink(path, target, sizeof target);
    if (n < 0) {
      if (errno == EINVAL || errno == ENOENT) return path;  // not a link, or nothing there
      break;
    }
    if (links == MAXLINKS || (size_t)n == sizeof target) {
      errno = links == MAXLINKS ? ELOOP : ENAMETOOLONG;
      break;
    }
    const char* slash = strrchr(path, '/');
    size_t keep = target[0] != '/' && slash != nullptr ? (size_t)(slash - path) + 1 : 0;
    char* next = (char*)malloc(keep + (size_t)n + 1);
    if (next == nullptr) break;
    memcpy(next, path, keep);
    memcpy(next + keep, target, (size_t)n);
    next[keep + (size_t)n] = 0;
    free(path);
    path = next;
  }
  int err = errno;
  free(path);
  errno = err;
  return nullptr;
}

// Makes a finished rename last: the directory that holds name is synced.
// A failure here leaves the new content in place and is not reported.
static void syncdirectory(const char* name) {
  const char* slash = strrchr(name, '/');
  int fd;
  if (slash == nullptr) {
    fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else if (slash == name) {
    fd = open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else {
    size_t n = (size_t)(slash - name);
    char local[NAMESIZE];
    char* dir = n < sizeof local ? local : (char*)malloc(n + 1);
    if (dir == nullptr) return;
    memcpy(dir, name, n);
    dir[n] = 0;
    fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir != local) free(dir);
  }
  if (fd < 0) return;
  syncfile(fd);
  close(fd);
}

// Replaces the regular file name (or makes it) by the text through a
// temporary file beside it and a rename, so that the file holds either its
// old content or the whole new text whatever fails or whenever the process
// dies. The new file keeps the old one's permission bits, and a file the
// user may not write is not replaced. 0 on success, else errno; after a
// failure the old file is untouched and no temporary file is left.
static int storefile(const char* name, const char* text, size_t count) {
  struct stat old;
  bool replacing = lstat(name, &old) == 0;
  if (!replacing && errno != ENOENT) return errno;
  if (replacing && S_ISDIR(old.st_mode)) return EISDIR;  // never replaced
  if (replacing && !S_ISREG(old.st_mode)) return ENOTSUP;  // nor a FIFO, device or socket
  // A file its owner made read-only stays as it is: the rename would replace
  // it whatever its rights, so the store asks what writing it in place would.
  if (replacing && faccessat(AT_FDCWD, name, W_OK, AT_EACCESS) != 0) return errno;

  size_t n = strlen(name);
  char local[NAMESIZE + sizeof TEMPSUFFIX];
  char* temp = local;
  if (n + sizeof TEMPSUFFIX > sizeof local) {
    temp = (char*)malloc(n + sizeof TEMPSUFFIX);
    if (temp == nullptr) return ENOMEM;
  }
  memcpy(temp, name, n);
  memcpy(temp + n, TEMPSUFFIX, sizeof TEMPSUFFIX);

  // The temporary name is fixed, so whatever holds it is the leftover of a
  // store that died before its rename: it goes, and the new file is always
  // fresh. Anything that cannot go (a directory) fails the store.
  int err = unlink(temp) == 0 || errno == ENOENT ? 0 : errno;
  int fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (err == 0 || errno != EEXIST) err = errno;
  } else {
    err = replacing && fchmod(fd, old.st_mode & 07777) != 0 ? errno : 0;
    if (err == 0) err = writeall(fd, text, count);
    if (err == 0 && syncfile(fd) != 0) err = errno;
    if (close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && rename(temp, name) != 0) err = errno;
    if (err == 0)
      syncdirectory(name);
    else
      unlink(temp);
  }
  if (temp != local) free(temp);
  return err;
}

// Stores the text as the content of a slot's file, through its links.
static int storeslot(const char* name, const char* text, size_t count) {
  char* target = followlinks(name);
  if (target == nullptr) return errno;
  int err = storefile(target, text, count);
  if (err == 0) err = keepfile(target);
  free(target);
  return err;
}

// The one message of a failed store, on standard error.
static void storefailed(int slot, const char* name, int err) {
  if (name != nullptr) {
    fprintf(stderr, "Couldn't store preset %d in %s: %s\n", slot, name, strerror(err));
  } else {  // the name's own allocation failed: the same name from its parts
    const char* home = getenv("HOME");
    fprintf(stderr, "Couldn't store preset %d in %s%s%d: %s\n", slot, home ? home : "",
            home ? "/.spumexpreset" : "spumex", slot, strerror(err));
  }
}

// Opens a slot's file for reading; -1 unless it is a regular file. Nothing
// here waits: a FIFO or a device opens at once and is closed again unread.
static int openslot(const char* name) {
  int fd = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

void readpresets() {
  if (scratch == nullptr) return;
  for (int n = 0; n < NPRESETS; n++) {
    free(presets[n]);
    presets[n] = nullptr;

    char local[NAMESIZE];
    char* name = slotname(n, local, NAMESIZE);
    if (name == nullptr) continue;
    int fd = openslot(name);
    if (name != local) free(name);
    if (fd < 0) continue;

    ssize_t got = read(fd, scratch, SCRATCHSIZE - 1);
    if (got < 0) {
      close(fd);
      continue;
    }
    scratch[got] = 0;
    char* text = (char*)malloc((size_t)got + 1);
    if (text != nullptr) strcpy(text, (const char*)scratch);
    presets[n] = text;
    close(fd);
  }
}

// Appends one formatted line to the text in scratch if it fits whole.
static size_t addline(size_t len, int written) {
  if (written < 0 || len + (size_t)written >= (size_t)SCRATCHSIZE) return len;
  return len + (size_t)written;
}

size_t composescene() {
  char* text = (char*)scratch;
  size_t len = 0;
  text[0] = 0;
  for (const hose* h = hoses; h != nullptr; h = h->next) {
    int w = snprintf(text + len, SCRATCHSIZE - len, "hose:%d,%d,%d,%d,%d,%d\n", (int)h->x,
                     (int)h->y, (int)h->angle, (int)h->r, (int)h->g, (int)h->b);
    len = addline(len, w);
  }
  for (const block* b = blocks; b != nullptr; b = b->next) {
    int w = snprintf(text + len, SCRATCHSIZE - len, "block:%d,%d,%d\n", (int)b->x, (int)b->y,
                     (int)b->angle);
    len = addline(len, w);
  }
  text[len] = 0;
  return len;
}

void savepreset(int slot) {
  if (slot < 0 || slot >= NPRESETS || scratch == nullptr) return;
  char local[NAMESIZE];
  char* name = slotname(slot, local, NAMESIZE);

  size_t len = composescene();
  free(presets[slot]);
  presets[slot] = (char*)malloc(len + 1);
  int err = ENOMEM;
  if (presets[slot] != nullptr) {
    memcpy(presets[slot], scratch, len + 1);
    if (name != nullptr) err = storeslot(name, presets[slot], len);
  }
  if (err != 0) storefailed(slot, name, err);
  if (name != nullptr && name != local) free(name);
}

static bool isspacechar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One %d as scanf reads it: white space, an optional sign, at least one
// digit. Values beyond the int32 range saturate. Null when nothing is read.
static const char* readnumber(const char* p, int32_t* value) {
  while (isspacechar(*p)) p++;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    p++;
  }
  if (*p < '0' || *p > '9') return nullptr;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; p++)
    if (v <= (int64_t)INT32_MAX + 1) v = v * 10 + (*p - '0');
  if (negative) v = -v;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  *value = (int32_t)v;
  return p;
}

// Matches "prefix%d,%d,..." with count numbers at the start of p.
static bool readfields(const char* p, const char* prefix, int32_t* values, int count) {
  size_t n = strlen(prefix);
  if (strncmp(p, prefix, n) != 0) return false;
  p += n;
  for (int i = 0; i < count; i++) {
    if (i > 0) {
      if (*p != ',') return false;
      p++;
    }
    p = readnumber(p, &values[i]);
    if (p == nullptr) return false;
  }
  return true;
}

// Goes through a preset text line by line: with load, appends each hose and
// block it reads to the scene; without, only counts. Returns the lines that
// hold neither a hose nor a block, or one the pools have no room left for.
static int readtext(const char* p, bool load) {
  hose** hosetail = &hoses;
  block** blocktail = &blocks;
  while (*hosetail != nullptr) hosetail = &(*hosetail)->next;
  while (*blocktail != nullptr) blocktail = &(*blocktail)->next;

  int nhoses = 0, nblocks = 0, skipped = 0;
  for (;;) {
    int32_t v[6];
    if (readfields(p, "hose:", v, 6)) {
      hose* h = load ? allochose() : nullptr;
      if (h != nullptr) {
        h->x = v[0];
        h->y = v[1];
        h->angle = v[2];
        h->r = (uint8_t)v[3];
        h->g = (uint8_t)v[4];
        h->b = (uint8_t)v[5];
        h->code = colorcode(h->r, h->g, h->b);
        *hosetail = h;
        hosetail = &h->next;
      } else if (load || ++nhoses > MAXHOSES) {
        skipped++;
      }
    } else if (readfields(p, "block:", v, 3)) {
      block* b = load ? allocblock() : nullptr;
      if (b != nullptr) {
        b->x = v[0];
        b->y = v[1];
        b->angle = v[2];
        *blocktail = b;
        blocktail = &b->next;
      } else if (load || ++nblocks > MAXBLOCKS) {
        skipped++;
      }
    } else {
      skipped++;
    }
    const char* lf = strchr(p, '\n');
    if (lf == nullptr || lf[1] == 0) break;
    p = lf + 1;
  }
  return skipped;
}

int skippedlines(const char* text) {
  return *text == 0 ? 0 : readtext(text, false);
}

void loadtext(const char* text) {
  // The scene is cleared as key x does it; the block map is made once, for
  // the loaded blocks, since nothing reads it in between.
  clearobjects();
  if (*text != 0) readtext(text, true);
  makeblockmap();
}

void loadpreset(int slot) {
  if (slot < 0 || slot >= NPRESETS || presets[slot] == nullptr) return;
  loadtext(presets[slot]);
}

}  // namespace spumex
