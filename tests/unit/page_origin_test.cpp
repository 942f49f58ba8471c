// The reference interface module's origins against those a browser computes
// (new URL(address).origin), and the addresses it must refuse rather than
// guess at: a refused address is neither stored nor looked up.
#include "page_origin.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct OriginCase {
  const char* address;
  const char* origin;  // "" where the browser fails or this parser must refuse
};

const OriginCase kOrigins[] = {
    {"https://bank.example/login", "https://bank.example"},
    {"HTTPS://Bank.EXAMPLE/Login?x=1#y", "https://bank.example"},
    {"https://evil.example\\@bank.example/", "https://evil.example"},
    {"https://evil.example\\bank.example/", "https://evil.example"},
    {"https://bank.example@evil.example/", "https://evil.example"},
    {"https://user:pa:ss@bank.example:8443/", "https://bank.example:8443"},
    {"https://a@b@bank.example/", "https://bank.example"},
    {"https://bank.example:443/", "https://bank.example"},
    {"http://bank.example:80/", "http://bank.example"},
    {"http://bank.example:443/", "http://bank.example:443"},
    {"https://bank.example:0443/", "https://bank.example"},
    {"https://bank.example:/", "https://bank.example"},
    {"ftp://files.example:21/pub", "ftp://files.example"},
    {"wss://chat.example:443/socket", "wss://chat.example"},
    {"ws://chat.example:8080", "ws://chat.example:8080"},
    {"  \x01https://bank.example/ \x1f", "https://bank.example"},
    {"ht\ttps://ba\nnk.exam\rple/", "https://bank.example"},
    {"https:bank.example/", "https://bank.example"},
    {"https:\\\\bank.example\\path", "https://bank.example"},
    {"https:///bank.example/", "https://bank.example"},
    {"https://bank.example?q", "https://bank.example"},
    {"https://bank.example#f", "https://bank.example"},
    {"https://bank.example./", "https://bank.example."},
    {"http://0x7f.1/", "http://127.0.0.1"},
    {"http://2130706433/", "http://127.0.0.1"},
    {"http://0177.0.0.1/", "http://127.0.0.1"},
    {"http://192.168.0.1./", "http://192.168.0.1"},
    {"https://xn--mnchen-3ya.example/", "https://xn--mnchen-3ya.example"},
    {"https://bank.example:65535/", "https://bank.example:65535"},
    // Refused by the browser.
    {"https://bank.example:65536/", ""},
    {"https://bank.example:12a/", ""},
    {"https://user@/", ""},
    {"https:///", ""},
    {"http://256.0.0.1/", ""},
    {"http://1.2.3.4.5/", ""},
    {"https://ba nk.example/", ""},
    {"https://bank<.example/", ""},
    {"no scheme here", ""},
    {"1https://bank.example/", ""},
    // The browser has an answer this parser does not reproduce: refused.
    {"https://b%61nk.example/", ""},
    {"https://b\xc3\xa4nk.example/", ""},
    {"https://[::1]/", ""},
    {"https://[0:0::1]:8443/", ""},
    // No network origin in the browser (opaque) or not a special scheme.
    {"file:///etc/passwd", ""},
    {"javascript:alert(1)", ""},
    {"data:text/html,hi", ""},
    {"chrome-extension://abcdef/page.html", ""},
};

TEST(PageOrigin, GivesTheOriginABrowserGivesOrRefuses) {
  for (const OriginCase& entry : kOrigins)
    EXPECT_EQ(pageOrigin(entry.address), entry.origin) << "address: " << entry.address;
}

TEST(PageOrigin, ABackslashNeverLetsAnotherSiteBorrowTheBanksOrigin) {
  const std::string bank = pageOrigin("https://bank.example/");
  for (const char* attack : {"https://evil.example\\@bank.example/", "https://evil.example\\\\@bank.example",
                             "https://evil.example#@bank.example/", "https://evil.example?@bank.example/",
                             "https://evil.example/@bank.example/", "https://evil.ex\tample\\@bank.example/"})
    EXPECT_NE(pageOrigin(attack), bank) << attack;
}

}  // namespace
