// The browser's side of the program (web/library.js), as C functions.
#pragma once

extern "C" {
void spumex_setupcanvas();              // lock the canvas without reading it back
void spumex_nextframe();                // wait for the display's next frame (the browser draws meanwhile)
int spumex_mountstore(const char* dir);  // keep dir in IndexedDB and read it from there: 0, or 1 without lasting storage
int spumex_keepfile(const char* path);  // write that one kept file back: 0, 1 storage full, 2 refused
void spumex_shown();                    // the first frame is on the canvas
void spumex_ended(int status);          // the program has returned
}
