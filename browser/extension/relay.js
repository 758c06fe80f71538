// The relay between the page API (page_api.js, in the page's world) and the
// service worker: it passes on only the method and its arguments; the service
// worker learns the sending frame from the browser.
(() => {
  "use strict";
  const REQUEST = "corvo-sso-request";
  const RESPONSE = "corvo-sso-response";

  function answer(id, reply) {
    const detail = JSON.stringify(Object.assign({}, reply, { id }));
    document.dispatchEvent(new CustomEvent(RESPONSE, { detail }));
  }

  document.addEventListener(REQUEST, (event) => {
    let request;
    try {
      request = JSON.parse(event.detail);
    } catch (e) {
      return;
    }
    if (!request || typeof request.id !== "number") return;
    const message = {
      kind: "corvo-sso-call",
      method: String(request.method),
      args: Array.isArray(request.args) ? request.args : [],
    };
    chrome.runtime.sendMessage(message).then(
      (reply) =>
        answer(
          request.id,
          reply || { ok: false, error: "HostUnavailable", message: "the extension did not answer" }
        ),
      (error) =>
        answer(request.id, {
          ok: false,
          error: "HostUnavailable",
          message: "the extension's service worker cannot be reached: " + error.message,
        })
    );
  });
})();
