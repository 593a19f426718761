// Page side of the browser layer. Injected at document start, in the top
// frame of every page, as is the relay in the layer's own script world. A
// bound function hands the JSON text {id, method, params} to the relay as
// the detail of a "__webview__" event on the window; the native side
// answers with onReply(id, status, result), where result is JSON text.
(function () {
  'use strict';
  if (window.__webview__) {
    return;
  }
  // Taken before any page script runs, which may replace them.
  const dispatch = EventTarget.prototype.dispatchEvent.bind(window);
  const CallEvent = CustomEvent;
  // The engine injects the scripts of different worlds in no set order:
  // calls made before the relay is there wait for its "ready", which it
  // sends when it starts and in answer to "ping".
  let relayReady = false;
  const early = [];
  const send = (message) => dispatch(new CallEvent('__webview__', { detail: message }));
  EventTarget.prototype.addEventListener.call(window, '__webview_ready__', () => {
    relayReady = true;
    early.splice(0).forEach(send);
  });
  dispatch(new Event('__webview_ping__'));
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
      if (relayReady) {
        send(message);
      } else {
        early.push(message);
      }
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
