// FeedInfo: the feed record that the feed worker fills and the main window shows, and the worker.
#pragma once

#include "feed/FeedAddress.h"
#include "platform/Sockets.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TiXmlElement;

// A failed fetch is retried 50 times, 20 seconds apart: at most 51 attempts.
constexpr int kFeedRetries = 50;
constexpr std::chrono::milliseconds kFeedRetryDelay{20'000};
constexpr uint16_t kFeedPort = 80;

// How the worker fetches; the defaults are the program's. Tests point it at their own server
// and replace the waits.
struct FeedFetchPolicy {
    std::string url = kFeedUrl;
    uint16_t port = kFeedPort;
    SocketTimeouts timeouts;
    // Waits between attempts; empty: the thread really sleeps.
    std::function<void(std::chrono::milliseconds)> sleep;
    // Asked before every retry; false ends the fetch early (nobody will read the record).
    std::function<bool()> stillWanted;
};

class FeedInfo {
public:
    virtual ~FeedInfo() = default;

    // Fetches the document at FeedUrl, reads its elements and sets the ready flag on success.
    void FetchFeed(const FeedFetchPolicy& policy = {});

    // Reads the direct children of `root` into the record (exact names, last one wins).
    void ReadElements(const TiXmlElement& root);

    // The data fields may be read once this answers true (acquire).
    bool IsReady() const { return Ready.load(std::memory_order_acquire) != 0; }
    // Publishes the data fields (release); the writer touches the record no more afterwards.
    void SetReady() { Ready.store(1, std::memory_order_release); }

    std::string FeedUrl;
    std::string ScrollText;
    std::string AdUrl;
    int32_t Version = 0;
    std::string DownUrl;
    std::atomic<int32_t> Ready{0};
};

// Worker entry: sets the feed URL, fetches and returns 0. The worker shares the record, so the
// window may go at any time; once the worker is the record's last owner it stops retrying.
unsigned FeedThreadProc(std::shared_ptr<FeedInfo> feed, FeedFetchPolicy policy = {});

// Starts FeedThreadProc on a thread of its own that nobody waits for; false when no thread
// could be started (the window then shows no feed).
bool StartFeedWorker(std::shared_ptr<FeedInfo> feed, FeedFetchPolicy policy = {});
