// CMainDlg: showing the feed once the feed worker has filled the record (timer 1).
#include "app/MainDlg.h"

#include "batch/SplitString.h"

#include <array>
#include <cstdio>

namespace {

// The program's own version, and the feed version that means "this one" (in hundredths).
constexpr double kOwnVersion = 1.0;
constexpr int32_t kOwnVersionHundredths = 100;
// The split array's room: items beyond the hundredth are ignored.
constexpr size_t kMaxFeedItems = 100;

constexpr POINT kOneLineVersionPlace = {710, 483};
constexpr RECT kDownloadLinkRect = {730, 490, 790, 505};
constexpr POINT kAdBrowserPlace = {338, 544};

}  // namespace

void CMainDlg::StartFeed()
{
    StartFeedWorker(m_Feed, m_FeedPolicy);
}

void CMainDlg::ApplyFeed()
{
    if (m_bFeedShown || !m_Feed->IsReady())
        return;
    m_bFeedShown = true;
    KillTimer(kFeedTimer);
    const FeedInfo& feed = *m_Feed;

    std::array<std::string, kMaxFeedItems> items;
    int count = 0;
    SplitString(feed.ScrollText, items, count, ';');
    for (int i = 0; i < count; ++i) {
        const std::string& item = items[static_cast<size_t>(i)];
        size_t tilde = item.find('~');
        if (tilde == std::string::npos)
            m_ScrollText.AddText(item);
        else
            m_ScrollText.AddLink(item.substr(0, tilde), item.substr(tilde + 1));
    }
    if (count > 0)
        m_ScrollText.Start();

    char text[128];
    if (feed.Version == kOwnVersionHundredths) {
        m_VersionLabel.SetWindowPos(nullptr, kOneLineVersionPlace.x, kOneLineVersionPlace.y, 0, 0,
                                    SWP_NOSIZE | SWP_NOZORDER);
        snprintf(text, sizeof text, "版本：%0.2f", kOwnVersion);
    } else {
        snprintf(text, sizeof text, "当前版本：%0.2f\r\n最新版本：%0.2f", kOwnVersion, feed.Version * 0.01);
        m_DownloadLink.Create(nullptr, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, kDownloadLinkRect, this,
                              static_cast<UINT>(-1));
        m_DownloadLink.SetBackColor(0);
        m_DownloadLink.SetText("点击下载");
        m_DownloadLink.SetURL(feed.DownUrl);
    }
    m_strVersionText = text;
    UpdateData(FALSE);

    if (!feed.AdUrl.empty()) {
        m_AdBrowser.Navigate(feed.AdUrl, nullptr, nullptr, nullptr, nullptr);
        m_AdBrowser.SetWindowPos(nullptr, kAdBrowserPlace.x, kAdBrowserPlace.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}
