// HttpXmlDocument: an XML document fetched with one HTTP/1.0 GET over a plain TCP socket.
#include "feed/HttpXmlDocument.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

namespace {

constexpr char kSchemeMark[] = "://";
constexpr char kXmlMark[] = "<?xml";
constexpr char kLengthHeader[] = "Content-Length:";
// The number is read from the 17th character of the header on: past the colon and the one
// blank that normally follows it.
constexpr size_t kLengthValueOffset = sizeof kLengthHeader;

// The announced length: the C library's decimal reading (leading blanks, a sign, digits up to
// the first other character), 0 when there is no header or nothing after its colon.
long long AnnouncedLength(const char* text)
{
    const char* header = std::strstr(text, kLengthHeader);
    if (!header || header[kLengthValueOffset - 1] == '\0')
        return 0;
    long long value = std::strtoll(header + kLengthValueOffset, nullptr, 10);
    return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value;
}

}  // namespace

bool HttpXmlDocument::LoadHttpXml(const char* url, uint16_t port)
{
    try {
        return Load(url ? url : "", port);
    } catch (const std::exception&) {
        std::printf("some error occured in LoadHttpXml! \n");
        return false;
    }
}

bool HttpXmlDocument::Load(const char* url, uint16_t port)
{
    Clear();
    std::printf("start load xml..\n");

    const char* scheme = std::strstr(url, kSchemeMark);
    const char* hostStart = scheme ? scheme + std::strlen(kSchemeMark) : nullptr;
    const char* hostEnd = hostStart ? std::strchr(hostStart, '/') : nullptr;
    if (!hostEnd) {
        std::printf("error: need http:// \n");
        return false;
    }
    // A ":port" after the name stays part of it; the port comes from the argument only.
    std::string host(hostStart, hostEnd);
    uint32_t address = 0;
    if (!ResolveHostIPv4(host, address)) {
        std::printf("error: gethostbyname of %s\n", host.c_str());
        return false;
    }

    TcpSocket socket(m_Timeouts);
    if (!socket.Open()) {
        std::printf("error: create socket err in loadhttpxml\n");
        return false;
    }
    if (!socket.Connect(address, port)) {
        std::printf("error: connect httpserver fail in loadhttpxml\n");
        return false;
    }

    std::string request = std::string("GET ") + url + " HTTP/1.0\r\n\r\n";
    socket.Send(request.data(), request.size());

    // The last byte of the buffer stays zero, so the text always ends inside it.
    m_Buffer.fill(0);
    const size_t capacity = kBufferSize - 1;
    size_t total = 0;
    long last = 0;
    while (total < capacity) {
        last = socket.Receive(m_Buffer.data() + total, std::min(kReceiveChunk, capacity - total));
        if (last <= 0)
            break;
        std::printf("recv: %d bytes\n", static_cast<int>(last));
        total += static_cast<size_t>(last);
    }
    // A full buffer: one more byte from the server means the response did not fit.
    bool overflowed = false;
    if (total == capacity) {
        char probe = 0;
        last = socket.Receive(&probe, 1);
        overflowed = last > 0;
    }

    const char* text = m_Buffer.data();
    const char* document = std::strstr(text, kXmlMark);
    long long announced = AnnouncedLength(text);
    if (!document || announced == 0) {
        std::printf("this is not a legal xml file \n");
        return false;
    }
    if (last < 0)
        std::printf("socket error\n");

    long long measured = static_cast<long long>(std::strlen(document));
    long long difference = announced > measured ? announced - measured : measured - announced;
    m_bComplete = !overflowed && difference <= kLengthTolerance;

    Parse(document, nullptr, TIXML_ENCODING_UNKNOWN);
    socket.Close();
    return m_bComplete;
}
