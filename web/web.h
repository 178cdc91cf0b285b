// The browser's side of the program (web/library.js), as C functions, and
// what the web edge's own files give the program.
#pragma once

namespace spumex {
void linkscene();                       // the scene of the page's link in place of slot 0's (web/link.cpp)
}

extern "C" {
void spumex_setupcanvas();              // lock the canvas without reading it back
void spumex_nextframe();                // wait for the display's next frame (the browser draws meanwhile)
int spumex_mountstore(const char* dir);  // keep dir in IndexedDB and read it from there: 0, or 1 without lasting storage
int spumex_keepfile(const char* path);  // write that one kept file back: 0, 1 storage full, 2 refused
void spumex_shown();                    // the first frame is on the canvas
int spumex_linkbytes(char* buffer, int size);  // the page's link scene into buffer (at most size bytes): its length, or -1 without one
void spumex_linkread(int skipped);      // the link's scene was read: lines that did not read, -1 without a link
void spumex_ended(int status);          // the program has returned
}
