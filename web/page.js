// The page around the program: its width argument, its printed lines, its
// state (loading, running, ended) and starting it again.
'use strict';
(function () {
  var canvas = document.getElementById('canvas');
  var output = document.getElementById('output');
  var restart = document.getElementById('restart');
  var width = new URLSearchParams(window.location.search).get('width');

  function print(line) {
    output.appendChild(document.createTextNode(line + '\n'));
  }

  function ended() {
    document.body.dataset.state = 'ended';
    restart.hidden = false;
  }

  restart.addEventListener('click', function () {
    window.location.reload();
  });
  // The canvas takes the keyboard when clicked; keys elsewhere stay the page's.
  canvas.addEventListener('mousedown', function () {
    canvas.focus();
  });

  // A key held down is one press, as on the desktop, where SDL repeats no
  // key unless asked to: the browser's repeats stop before they reach it.
  window.addEventListener('keydown', function (event) {
    if (event.repeat && event.target === canvas) event.stopPropagation();
  }, true);

  window.Module = {
    arguments: width === null ? [] : [width],
    canvas: canvas,
    keyboardListeningElement: canvas,
    print: print,
    printErr: print,
    onshown: function () {
      document.body.dataset.state = 'running';
      canvas.focus();
    },
    onended: ended,
    onExit: ended,
    onAbort: ended,
  };
})();
