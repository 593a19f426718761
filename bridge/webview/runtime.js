// Page side of the browser layer. Injected first, at document start, in the
// top frame of every page. A bound function posts {id, method, params} to
// the native "__webview__" message handler; the native side answers with
// onReply(id, status, result), where result is JSON text.
(function () {
  'use strict';
  if (window.__webview__) {
    return;
  }
  // Calls still waiting for their answer, by id. An entry leaves the table
  // as soon as its promise settles.
  const pending = new Map();
  // Names the native side has bound into this page.
  const bound = new Set();

  function freshId() {
    const words = new Uint32Array(2);
    let id;
    do {
      crypto.getRandomValues(words);
      id = words[0].toString(16).padStart(8, '0') + words[1].toString(16).padStart(8, '0');
    } while (pending.has(id));
    return id;
  }

  const runtime = {
    post(message) {
      window.webkit.messageHandlers.__webview__.postMessage(message);
    },
    call(method, ...params) {
      return new Promise((resolve, reject) => {
        if (!bound.has(method)) {
          reject(new Error('No native function is bound to the name "' + method + '"'));
          return;
        }
        const id = freshId();
        pending.set(id, { resolve, reject });
        try {
          runtime.post(JSON.stringify({ id, method, params }));
        } catch (error) {
          pending.delete(id);
          reject(error);
        }
      });
    },
    onReply(id, status, result) {
      const entry = pending.get(id);
      if (entry === undefined) {
        return;
      }
      pending.delete(id);
      let value;
      try {
        value = JSON.parse(result);
      } catch (error) {
        entry.reject(new Error('Failed to parse binding result as JSON'));
        return;
      }
      if (status === 0) {
        entry.resolve(value);
      } else {
        entry.reject(value);
      }
    },
    onBind(name) {
      bound.add(name);
      window[name] = (...params) => runtime.call(name, ...params);
    },
    // Number of calls not yet answered (diagnostics and tests).
    pendingCount() {
      return pending.size;
    },
  };
  Object.freeze(runtime);
  Object.defineProperty(window, '__webview__', { value: runtime, enumerable: false });
})();
