// Talks to the host as the password manager's extension does: stores a
// login, asks for it back, and stores what came back under a second page, so
// that the test sees from the record store that the reply reached the
// extension intact.
const port = chrome.runtime.connectNative("com.halvik.pwm_browser_test");
port.onMessage.addListener((reply) => {
  if (reply.COMMAND !== "LOAD_BROWSER_RECORD") return;
  port.postMessage({
    COMMAND: "CREATE_BROWSER_RECORD",
    SITE_URL: "https://reply.example/",
    SITE_TITLE: "reply",
    PW_FIELDS: ["RETURN"],
    PW_VALUES: [String(reply.RETURN)],
    TEXT_FIELDS: ["URL", "PW_VALUE", "TEXT_VALUE"],
    TEXT_VALUES: [reply.URL, reply.PW_VALUE_ARRAY[0], reply.TEXT_VALUE_ARRAY[0]],
  });
});
port.postMessage({
  COMMAND: "CREATE_BROWSER_RECORD",
  SITE_URL: "https://login.example.com/signin",
  SITE_TITLE: "Sign in",
  PW_FIELDS: ["password"],
  PW_VALUES: ["correct horse \u00e9\u4e2d"],
  TEXT_FIELDS: ["email"],
  TEXT_VALUES: ["alice@example.com"],
});
port.postMessage({ COMMAND: "LOAD_BROWSER_RECORD", SITE_URL: "https://login.example.com/", SITE_TITLE: "Sign in" });
