// The page API, window.CorvoSSOLogin, defined in the page's own world at
// document_start. Each method sends its name and arguments to the extension's
// relay (a DOM event of this frame only) and returns a Promise that the
// answer settles. What the page says about itself is never sent: the
// extension takes the page's address from the browser.
(() => {
  "use strict";
  if (Object.prototype.hasOwnProperty.call(window, "CorvoSSOLogin")) return;

  const REQUEST = "corvo-sso-request";
  const RESPONSE = "corvo-sso-response";
  // Taken now, before any script of the page can replace them.
  const stringify = JSON.stringify;
  const parse = JSON.parse;
  const ErrorClass = Error;
  const PromiseClass = Promise;
  const CustomEventClass = CustomEvent;
  const dispatch = EventTarget.prototype.dispatchEvent;
  const listen = EventTarget.prototype.addEventListener;
  const doc = document;

  let nextId = 1;
  const pending = new Map();

  listen.call(doc, RESPONSE, (event) => {
    let answer;
    try {
      answer = parse(event.detail);
    } catch (e) {
      return;
    }
    const waiter = answer && pending.get(answer.id);
    if (!waiter) return;
    pending.delete(answer.id);
    if (answer.ok) {
      waiter.resolve(answer.value);
      return;
    }
    const error = new ErrorClass(answer.message || answer.error || "the request failed");
    error.name = answer.error || "E_FAIL";
    if (typeof answer.hresult === "number") {
      error.hresult = answer.hresult;
      error.number = answer.hresult;
    }
    waiter.reject(error);
  });

  function call(method, args) {
    return new PromiseClass((resolve, reject) => {
      const id = nextId++;
      pending.set(id, { resolve, reject });
      dispatch.call(doc, new CustomEventClass(REQUEST, { detail: stringify({ id, method, args }) }));
    });
  }

  // Objects travel as [name, value] pairs: the browser's messaging does not
  // keep the order of an object's keys, and the control's order matters.
  function toPairs(data) {
    if (data === null || data === undefined) return null;
    if (typeof data !== "object") return data;
    return Object.keys(data).map((key) => [key, data[key]]);
  }
  function fromPairs(pairs) {
    const object = {};
    for (const [key, value] of pairs) object[key] = value;
    return object;
  }

  const api = {
    InitSSOLoginCtrl: () => call("InitSSOLoginCtrl", []).then(() => undefined),
    GetSSOLoginCtrlVersion: () => call("GetSSOLoginCtrlVersion", []),
    GetQXClientVersion: () => call("GetQXClientVersion", []),
    GetUserList: (lFlag, lIncludeSubAccount) =>
      call("GetUserList", [lFlag, lIncludeSubAccount]).then((list) => list.map(fromPairs)),
    BeginSSOLogin: (lReserved, ssoData) =>
      call("BeginSSOLogin", [lReserved, toPairs(ssoData)]).then(fromPairs),
  };
  Object.freeze(api);
  Object.defineProperty(window, "CorvoSSOLogin", {
    value: api,
    writable: false,
    configurable: false,
    enumerable: true,
  });
})();
