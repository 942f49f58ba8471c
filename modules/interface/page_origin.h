// The origin of a page address: the part that names the site a login
// belongs to, whatever the path, query or fragment.
#pragma once

#include <string>

// "scheme://host[:port]" with scheme and host in lower case and the port
// left out when it is the scheme's default (http 80, https 443, ftp 21);
// user names and passwords before "@" are dropped. Empty for an address
// without a scheme and a host, or with a port that is not a number up to
// 65535.
std::string pageOrigin(const std::string& url);
