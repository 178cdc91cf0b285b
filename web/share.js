// Scenes and pictures that leave the page: the scene as a link (its preset
// text, deflated, base64url, in the address's fragment), the canvas as a
// PNG picture or a few seconds of WebM. Starting from such a link, the page
// hands the program the link's scene (Module.linkscene) before it starts.
'use strict';
(function () {
  var LIMIT = 65535;    // bytes a link's scene may hold once inflated, the most a preset file gives; the fullest scene is about 6 KB
  var CLIPMS = 4000;    // length of a clip
  var prefix = '#scene=';
  var canvas = document.getElementById('canvas');
  var status = document.getElementById('status');
  var linkfield = document.getElementById('share-link');
  var sharebutton = document.querySelector('[data-action="share"]');
  var picturebutton = document.querySelector('[data-action="picture"]');
  var clipbutton = document.querySelector('[data-action="clip"]');

  function say(line) {
    status.textContent = line;
  }

  function base64url(bytes) {
    var bin = '';
    for (var i = 0; i < bytes.length; i += 0x8000) bin += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(bin).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }
  // Throws on anything but base64url without padding.
  function unbase64url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) throw new Error('not base64url');
    var bin = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    var bytes = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i);
    return bytes;
  }

  function deflate(bytes) {
    var stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'));
    return new Response(stream).arrayBuffer().then(function (b) { return new Uint8Array(b); });
  }
  // Rejects a stream that is not deflate, ends early, or inflates beyond LIMIT.
  function inflate(bytes) {
    var reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
    var parts = [];
    var total = 0;
    function more() {
      return reader.read().then(function (r) {
        if (r.done) {
          var text = new Uint8Array(total);
          var at = 0;
          parts.forEach(function (p) { text.set(p, at); at += p.length; });
          return text;
        }
        total += r.value.length;
        if (total > LIMIT) {
          reader.cancel();
          throw new Error('too large');
        }
        parts.push(r.value);
        return more();
      });
    }
    return more();
  }

  // The link's scene as bytes, or null when the address holds none; rejects
  // when it holds one that cannot be read.
  function linkscene() {
    var hash = window.location.hash;
    if (hash.indexOf(prefix) !== 0) return Promise.resolve(null);
    return Promise.resolve().then(function () {
      return inflate(unbase64url(hash.slice(prefix.length)));
    }).then(function (text) {
      if (text.indexOf(0) >= 0) throw new Error('a zero byte');
      return text;
    });
  }

  var unusable = 'This link holds no usable scene: Spumex starts without it.';
  // The page starts the program through this, once the link is read.
  window.spumexlink = function () {
    return linkscene().then(function (text) {
      if (text !== null) window.Module.linkscene = text;
    }, function () {
      say(unusable);
    });
  };
  window.Module.onlinkread = function (skipped) {
    if (skipped > 0) {
      say('This link\u2019s scene has ' + skipped + (skipped === 1 ? ' line' : ' lines') +
        ' Spumex cannot read: Spumex starts without it.');
    }
  };
  // A link to another scene typed into the address bar starts it.
  window.addEventListener('hashchange', function () {
    if (window.location.hash.indexOf(prefix) === 0) window.location.reload();
  });

  sharebutton.addEventListener('click', function () {
    if (typeof window.Module.scenetext !== 'function') return;
    var text = window.Module.scenetext();
    deflate(new TextEncoder().encode(text)).then(function (bytes) {
      var link = window.location.href.split('#')[0] + prefix + base64url(bytes);
      linkfield.value = link;
      linkfield.hidden = false;
      linkfield.select();
      say('The link to this scene is in the field below.');
      if (navigator.clipboard && navigator.clipboard.writeText) {
        navigator.clipboard.writeText(link).then(function () {
          say('The link to this scene is copied, and in the field below.');
        }, function () {});
      }
    });
  });

  function stamp() {
    return new Date().toISOString().slice(0, 19).replace(/[-:]/g, '').replace('T', '-');
  }
  // Through the system's share sheet where it takes files, else downloaded.
  function keep(blob, name) {
    var file = new File([blob], name, { type: blob.type });
    if (navigator.canShare && navigator.canShare({ files: [file] })) {
      navigator.share({ files: [file], title: 'Spumex' }).catch(function (e) {
        if (e.name !== 'AbortError') download(blob, name);
      });
    } else {
      download(blob, name);
    }
  }
  function download(blob, name) {
    var a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name;
    a.click();
    setTimeout(function () { URL.revokeObjectURL(a.href); }, 60000);
  }

  picturebutton.addEventListener('click', function () {
    canvas.toBlob(function (blob) {
      if (blob) keep(blob, 'spumex-' + stamp() + '.png');
    }, 'image/png');
  });

  var webm = ['video/webm;codecs=vp9', 'video/webm;codecs=vp8', 'video/webm'].filter(function (t) {
    return typeof MediaRecorder === 'function' && MediaRecorder.isTypeSupported(t);
  })[0];
  if (webm && typeof canvas.captureStream === 'function') {
    clipbutton.hidden = false;
    clipbutton.addEventListener('click', function () {
      // The canvas copied 30 times a second into one that is recorded: a
      // canvas gives the recording frames only when drawn on, and the
      // program's stays as it is while paused.
      var copy = document.createElement('canvas');
      copy.width = canvas.width;
      copy.height = canvas.height;
      var context = copy.getContext('2d');
      var draw = function () { context.drawImage(canvas, 0, 0); };
      draw();
      var drawing = setInterval(draw, 1000 / 30);
      var stream = copy.captureStream(30);
      var parts = [];
      var failed = null;
      var finish = function () {
        clearInterval(drawing);
        stream.getTracks().forEach(function (t) { t.stop(); });
      };
      // A browser may name WebM among the types it records and still refuse
      // to record (WebKitGTK without its GStreamer encoders): the button goes.
      var cannot = function (e) {
        clipbutton.hidden = true;
        say('This browser cannot record a clip: ' + (e.message || 'it stopped recording').replace(/\.$/, '') + '.');
      };
      var recorder;
      try {
        recorder = new MediaRecorder(stream, { mimeType: webm });
        recorder.ondataavailable = function (e) {
          if (e.data.size > 0) parts.push(e.data);
        };
        recorder.onerror = function (e) {
          failed = e.error || {};
        };
        recorder.onstop = function () {
          finish();
          clipbutton.disabled = false;
          if (failed) return cannot(failed);
          say('');
          keep(new Blob(parts, { type: 'video/webm' }), 'spumex-' + stamp() + '.webm');
        };
        recorder.start();
      } catch (e) {
        finish();
        return cannot(e);
      }
      clipbutton.disabled = true;
      say('Recording ' + CLIPMS / 1000 + ' seconds of the picture\u2026');
      setTimeout(function () { if (recorder.state !== 'inactive') recorder.stop(); }, CLIPMS);
    });
  }
})();
