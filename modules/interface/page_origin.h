// The origin of a page address: the part that names the site a login
// belongs to, whatever the path, query or fragment.
#pragma once

#include <string>

// The origin a browser computes for the address, "scheme://host[:port]",
// following the URL Standard for the special network schemes (http, https,
// ws, wss, ftp): tabs and line breaks removed anywhere, leading and trailing
// controls and spaces trimmed, "\" ending the authority as "/" does, user
// names and passwords dropped, the host in lower case (a numeric IPv4 host
// in dotted decimal) and the scheme's default port left out.
//
// Empty for what a browser would refuse and for whatever this parser cannot
// reproduce exactly: other schemes, a host with percent-escapes or non-ASCII
// text, an IPv6 literal, a port over 65535. An empty origin is never stored
// nor looked up, so two pages are only ever matched on an origin that the
// browser itself would give them.
std::string pageOrigin(const std::string& url);
