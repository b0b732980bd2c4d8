// The maker's web addresses, built at compile time from the configured host.
#pragma once

// The host ("www.tessmark.example" unless the build sets TESSMARK_WEB_HOST).
extern const char kWebHost[];
// The feed document, fetched from port kFeedPort.
extern const char kFeedUrl[];
// The pages the main window's round buttons open.
extern const char kHomePageUrl[];
extern const char kHelpPageUrl[];
