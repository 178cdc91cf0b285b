// The timed page's wait for the next frame, in place of the web version's:
// the display's next frame as there, or with "flatout" in the address the
// next turn of the browser's task queue, so that the program runs as fast as
// it can, as the native program does under Xvfb. Either way it keeps its own
// clock of the program's work: window.timedbusy.ms over .n passes.
mergeInto(LibraryManager.library, {
  spumex_nextframe__deps: ['$Asyncify'],
  spumex_nextframe: function() {
    var t = window.timedbusy;
    if (!t) {
      t = window.timedbusy = { ms: 0, n: 0, since: -1 };
      t.flatout = new URLSearchParams(window.location.search).has('flatout');
      t.channel = new MessageChannel();
    }
    // called again as the program resumes after the wait: that is no new pass
    if (Asyncify.state === Asyncify.State.Normal && t.since >= 0) {
      t.ms += performance.now() - t.since;
      t.n++;
    }
    return Asyncify.handleSleep(function(wakeUp) {
      var resume = function() {
        t.since = performance.now();
        wakeUp();
      };
      if (t.flatout) {
        t.channel.port1.onmessage = resume;
        t.channel.port2.postMessage(0);
      } else {
        requestAnimationFrame(resume);
      }
    });
  },
});
