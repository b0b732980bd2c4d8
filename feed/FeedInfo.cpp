// FeedInfo: the feed record that the feed worker fills and the main window shows, and the worker.
#include "feed/FeedInfo.h"

#include "batch/JobSettings.h"
#include "feed/HttpXmlDocument.h"

#include <cstring>
#include <system_error>
#include <thread>

void FeedInfo::ReadElements(const TiXmlElement& root)
{
    for (const TiXmlElement* element = root.FirstChildElement(); element; element = element->NextSiblingElement()) {
        const TiXmlNode* child = element->FirstChild();
        if (!child)
            continue;
        const char* name = element->Value();
        const char* value = child->Value();
        if (std::strcmp(name, "version") == 0)
            Version = IniToInt(value);
        else if (std::strcmp(name, "downurl") == 0)
            DownUrl = value;
        else if (std::strcmp(name, "adurl") == 0)
            AdUrl = value;
        else if (std::strcmp(name, "scrolltext") == 0)
            ScrollText = value;
    }
}

void FeedInfo::FetchFeed(const FeedFetchPolicy& policy)
{
    // The document holds a 200 KB receive buffer: on the heap, not on the worker's stack.
    auto document = std::make_unique<HttpXmlDocument>(policy.timeouts);
    int retries = 0;
    while (!document->LoadHttpXml(FeedUrl.c_str(), policy.port)) {
        if (retries == kFeedRetries)
            return;
        if (policy.stillWanted && !policy.stillWanted())
            return;
        if (policy.sleep)
            policy.sleep(kFeedRetryDelay);
        else
            std::this_thread::sleep_for(kFeedRetryDelay);
        ++retries;
    }
    const TiXmlElement* root = document->FirstChildElement();
    if (!root)
        return;
    ReadElements(*root);
    SetReady();
}

unsigned FeedThreadProc(std::shared_ptr<FeedInfo> feed, FeedFetchPolicy policy)
{
    if (!feed)
        return 0;
    if (!policy.stillWanted)
        policy.stillWanted = [&feed] { return feed.use_count() > 1; };
    feed->FeedUrl = policy.url;
    feed->FetchFeed(policy);
    return 0;
}

bool StartFeedWorker(std::shared_ptr<FeedInfo> feed, FeedFetchPolicy policy)
{
    try {
        std::thread(FeedThreadProc, std::move(feed), std::move(policy)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}
