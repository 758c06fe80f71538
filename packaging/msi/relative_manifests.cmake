# The manifests `corvo-sso browser install` wrote into DIR's scratch home,
# renamed by browser, their host path made relative to the manifest's folder
# (the MSI puts the host two folders up: CorvoSSO\NativeMessagingHosts\<browser>\).
set(_sources
    chromium config/chromium/NativeMessagingHosts
    chrome config/google-chrome/NativeMessagingHosts
    edge config/microsoft-edge/NativeMessagingHosts
    firefox home/.mozilla/native-messaging-hosts)
while(_sources)
  list(POP_FRONT _sources _browser _folder)
  file(GLOB _file ${DIR}/${_folder}/*.json)
  file(READ ${_file} _text)
  string(REPLACE "\"/CORVO_HOST_DIR/corvo-sso-host.exe\"" "\"..\\\\..\\\\corvo-sso-host.exe\"" _text
                 "${_text}")
  if(NOT _text MATCHES "corvo-sso-host.exe")
    message(FATAL_ERROR "${_file} names no host")
  endif()
  file(WRITE ${DIR}/${_browser}.json "${_text}")
endwhile()
