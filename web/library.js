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

  // Writes one file of the kept folder back to IndexedDB, as an entry of the
  // same form the folder is read from at start. Only that entry is written:
  // another tab of the page keeps its own copy of the folder, and what it
  // stored since this one started stays stored.
  spumex_keepfile__deps: ['$Asyncify', '$FS', '$IDBFS'],
  spumex_keepfile: function(name) {
    var path = UTF8ToString(name);
    return Asyncify.handleSleep(function(wakeUp) {
      function failed(error) {
        wakeUp(error && error.name === 'QuotaExceededError' ? 1 : 2);
      }
      var lookup;
      try {
        lookup = FS.lookupPath(path);
      } catch (e) {
        failed(e);
        return;
      }
      var mount = lookup.node.mount;
      // Without lasting storage the file lives for this visit only.
      if (mount.type !== IDBFS) {
        wakeUp(0);
        return;
      }
      IDBFS.getDB(mount.mountpoint, function(error, db) {
        if (error) return failed(error);
        IDBFS.loadLocalEntry(lookup.path, function(error, entry) {
          if (error) return failed(error);
          // The write has lasted once its transaction completes; a refused
          // write (storage full) aborts it.
          try {
            var transaction = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
            transaction.oncomplete = function() { wakeUp(0); };
            transaction.onabort = function() { failed(transaction.error); };
            try {
              transaction.objectStore(IDBFS.DB_STORE_NAME).put(entry, lookup.path);
            } catch (e) {
              transaction.onabort = null;
              transaction.abort();
              failed(e);
            }
          } catch (e) {
            failed(e);
          }
        });
      });
    });
  },

  // The scene text a link brought, decoded by the page (Module.linkscene,
  // bytes without a zero), copied into the program's buffer.
  spumex_linkbytes: function(buffer, size) {
    var bytes = Module['linkscene'];
    if (!bytes) return -1;
    var n = Math.min(bytes.length, size);
    HEAPU8.set(bytes.subarray(0, n), buffer);
    return n;
  },

  // The page's hold on the scene: Module.scenetext() gives the scene's
  // preset text from now on; Module.onlinkread hears how the link's read.
  spumex_linkread: function(skipped) {
    Module['scenetext'] = function() { return UTF8ToString(_spumex_scenetext()); };
    if (Module['onlinkread']) Module['onlinkread'](skipped);
  },

  spumex_shown: function() {
    if (Module['onshown']) Module['onshown']();
  },

  spumex_ended: function(status) {
    if (Module['onended']) Module['onended'](status);
  },
});
