// The maker's web addresses, built at compile time from the configured host.
#include "feed/FeedAddress.h"

#ifndef TESSMARK_WEB_HOST
#error "TESSMARK_WEB_HOST must name the maker's web host"
#endif

const char kWebHost[] = TESSMARK_WEB_HOST;
const char kFeedUrl[] = "http://" TESSMARK_WEB_HOST "/software/config/Quillmark_config.xml";
const char kHomePageUrl[] = "http://" TESSMARK_WEB_HOST "/software/Quillmark/index.php";
const char kHelpPageUrl[] = "http://" TESSMARK_WEB_HOST "/bbs/viewthread.php?tid=240&extra=page%3D1";
