// HttpXmlDocument: an XML document fetched with one HTTP/1.0 GET over a plain TCP socket.
#pragma once

#include "platform/Sockets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <tinyxml.h>

class HttpXmlDocument : public TiXmlDocument {
public:
    // The buffer holds the whole response and the zero that ends it as a string.
    static constexpr size_t kBufferSize = 204'800;
    static constexpr size_t kReceiveChunk = 1'024;
    // How far the text after "<?xml" may differ from the announced length.
    static constexpr long long kLengthTolerance = 3;

    explicit HttpXmlDocument(SocketTimeouts timeouts = {}) : m_Timeouts(timeouts) {}

    // Fetches `url` ("scheme://host/path") from `port` and parses the response's XML text into
    // the document. True only when the text came whole, as its Content-Length: announced.
    // Writes its progress and failures to standard output.
    bool LoadHttpXml(const char* url, uint16_t port);

    // The raw response of the last call, ended by zero bytes.
    const char* ReceivedText() const { return m_Buffer.data(); }
    bool IsComplete() const { return m_bComplete; }

private:
    bool Load(const char* url, uint16_t port);

    SocketTimeouts m_Timeouts;
    std::array<char, kBufferSize> m_Buffer{};
    bool m_bComplete = false;
};
