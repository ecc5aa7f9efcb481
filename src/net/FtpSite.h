// FtpSiteString: "R:~2name~/ftp://host;BASE=pub;USER=anna;PWRD=secret", the site
// entries ftp1 to ftp3 of the system strings (values 26 to 28).
#pragma once

#include <string>

// Part 0 host (with any path after it), 1 user, 2 password, 3 base folder; "" for
// another selector.
std::string ParseFtpSiteSpec(std::string site, int part);
// The site string with its password left out, for texts the user sees.
std::string FtpSiteWithoutPassword(const std::string& site);

constexpr int kFirstFtpSiteValue = 26;  // m_astrSysValue of "ftp1"
