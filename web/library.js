// The browser's side of the program: waiting for the display's next frame,
// the presets' lasting storage and the page's hooks. Linked into spumex.js.
mergeInto(LibraryManager.library, {
  spumex_setupcanvas__deps: ['$SDL'],
  spumex_setupcanvas: function() {
    // Every present writes every pixel, alpha included: the canvas is never
    // read back on lock, and its alpha needs no fixing.
    SDL.defaults.discardOnLock = true;
    SDL.defaults.opaqueFrontBuffer = false;
  },

  spumex_nextframe__deps: ['$Asyncify'],
  spumex_nextframe: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      requestAnimationFrame(function() { wakeUp(); });
    });
  },

  spumex_mountstore__deps: ['$Asyncify', '$FS', '$IDBFS'],
  spumex_mountstore: function(dir) {
    var path = UTF8ToString(dir);
    return Asyncify.handleSleep(function(wakeUp) {
      try {
        FS.mkdirTree(path);
        FS.mount(IDBFS, {}, path);
      } catch (e) {
        wakeUp(1);
        return;
      }
      FS.syncfs(true, function(error) { wakeUp(error ? 1 : 0); });
    });
  },

  spumex_syncstore__deps: ['$Asyncify', '$FS'],
  spumex_syncstore: function() {
    return Asyncify.handleSleep(function(wakeUp) {
      FS.syncfs(false, function(error) {
        if (!error) wakeUp(0);
        else wakeUp(error.name === 'QuotaExceededError' ? 1 : 2);
      });
    });
  },

  spumex_shown: function() {
    if (Module['onshown']) Module['onshown']();
  },

  spumex_ended: function(status) {
    if (Module['onended']) Module['onended'](status);
  },
});
