// Without a site every method of the control is refused with E_FAIL, and an
// unknown name fails as the script host reports it. Prints one line per
// check; the last line is "ok" when all passed.
//
// WScript.CreateObject creates the control with CoCreateInstance and gives it
// no site. `new ActiveXObject` hands the new object the script engine's own
// site (IObjectWithSite::SetSite); that site is no page of an allowed site, so
// SetSite refuses it and JScript reports that the object cannot be created.
var failures = 0;
function check(name, ok, detail) {
    WScript.Echo((ok ? "pass " : "FAIL ") + name + (detail ? " (" + detail + ")" : ""));
    if (!ok) failures++;
}
function numberOf(e) {
    return e.number;
}
var refused = 0;
try { new ActiveXObject("CorvoSSOLoginM.SSOLoginCtrl"); } catch (e) { refused = numberOf(e); }
// "Automation server can't create object" (800A01AD).
check("ActiveXObject on a page that is not allowed", refused == -2146827859, "number " + refused);
var ctrl = WScript.CreateObject("CorvoSSOLoginM.SSOLoginCtrl");
check("created", typeof ctrl == "object");
var E_FAIL = -2147467259;
// A null (or undefined) object where the library declares an ISSOData is
// refused by the type library's argument coercion before the method runs.
var DISP_E_TYPEMISMATCH = -2147352571;
var calls = [
    ["InitSSOLoginCtrl(null, 0)", DISP_E_TYPEMISMATCH, function () { return ctrl.InitSSOLoginCtrl(null, 0); }],
    ["GetQXClientVersion()", E_FAIL, function () { return ctrl.GetQXClientVersion(); }],
    ["CreateSSOData()", E_FAIL, function () { return ctrl.CreateSSOData(); }],
    ["CreateSSODataArray()", E_FAIL, function () { return ctrl.CreateSSODataArray(); }],
    ["GetUserList(0, 1)", E_FAIL, function () { return ctrl.GetUserList(0, 1); }],
    ["GetUserList('7', true)", E_FAIL, function () { return ctrl.GetUserList("7", true); }],
    ["BeginSSOLogin(0, undefined)", DISP_E_TYPEMISMATCH, function () { return ctrl.BeginSSOLogin(0, undefined); }],
    ["GetSSOLoginCtrlVersion()", E_FAIL, function () { return ctrl.GetSSOLoginCtrlVersion(); }],
    // The control's own object where an ISSOData is declared: it has no ISSOData
    // (E_NOINTERFACE from the coercion's QueryInterface).
    ["InitSSOLoginCtrl(ctrl, 0)", -2147467262, function () { return ctrl.InitSSOLoginCtrl(ctrl, 0); }],
    // Too few arguments: the host's count check, before the method.
    ["GetUserList(0)", -2147352562, function () { return ctrl.GetUserList(0); }]
];
for (var i = 0; i < calls.length; i++) {
    var number = 0;
    try {
        calls[i][2]();
    } catch (e) {
        number = numberOf(e);
    }
    check(calls[i][0], number == calls[i][1], "number " + number);
}
// Names are matched as the type library matches them: case does not count.
var lower = 0;
try { ctrl.getssologinctrlversion(); } catch (e) { lower = numberOf(e); }
check("a name in other case is the same method", lower == E_FAIL, "number " + lower);
var unknown = 0;
try { ctrl.NoSuchMethod(); } catch (e) { unknown = numberOf(e); }
// JScript: "Object doesn't support this property or method" (800A01B6).
check("unknown name", unknown == -2146827850, "number " + unknown);
WScript.Echo(failures == 0 ? "ok" : failures + " failed");
