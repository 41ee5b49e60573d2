#include "BlockingHost.h"

#include "host/WebSocketMasking.h"
#include "support/Base64.h"

#include <websocketpp/sha1/sha1.hpp>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kDeadlineMs = 5000;

constexpr unsigned char kText = 0x1;
constexpr unsigned char kBinary = 0x2;
constexpr unsigned char kClose = 0x8;
constexpr unsigned char kPing = 0x9;
constexpr unsigned char kPong = 0xa;

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("blocking host: ") + what + ": " + std::strerror(errno));
}

}  // namespace

BlockingHost::BlockingHost() {
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    Check(listener >= 0, "socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Check(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
    Check(listen(listener, 1) == 0, "listen");
    socklen_t length = sizeof address;
    Check(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0, "getsockname");
    port = ntohs(address.sin_port);
}

BlockingHost::~BlockingHost() {
    if (connection >= 0) close(connection);
    close(listener);
}

void BlockingHost::WaitFor(int descriptor, short events) {
    pollfd waiting{descriptor, events, 0};
    Check(poll(&waiting, 1, kDeadlineMs) == 1, events == POLLIN ? "nothing arrived within the deadline"
                                                                : "the plugin took nothing within the deadline");
}

bool BlockingHost::Readable(std::chrono::milliseconds wait) {
    pollfd waiting{connection, POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(wait.count()));
    Check(ready >= 0, "poll");
    return ready == 1;
}

std::size_t BlockingHost::Unacknowledged() const {
    int unsent = 0;
    Check(ioctl(connection, SIOCOUTQ, &unsent) == 0, "SIOCOUTQ");
    return static_cast<std::size_t>(unsent);
}

void BlockingHost::Transfer(std::size_t size, short events, const char* failure,
                            const std::function<ssize_t(std::size_t done)>& step) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t count = step(done);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (errno == EAGAIN) WaitFor(connection, events);
            continue;
        }
        Check(count > 0, failure);
        done += static_cast<std::size_t>(count);
    }
}

void BlockingHost::SendAll(const char* data, std::size_t size) {
    Transfer(size, POLLOUT, "send", [&](std::size_t done) {
        return send(connection, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
    });
}

void BlockingHost::ReadExactly(char* data, std::size_t size) {
    Transfer(size, POLLIN, "the plugin closed the connection",
             [&](std::size_t done) { return recv(connection, data + done, size - done, MSG_DONTWAIT); });
}

void BlockingHost::Accept() {
    WaitFor(listener, POLLIN);
    connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    Check(connection >= 0, "accept");
    const int on = 1;
    setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        char byte = 0;
        ReadExactly(&byte, 1);
        request += byte;
    }
    const std::string field = "Sec-WebSocket-Key: ";
    const std::size_t start = request.find(field);
    Check(start != std::string::npos, "no Sec-WebSocket-Key in the handshake");
    const std::string key = request.substr(start + field.size(), request.find("\r\n", start) - start - field.size());
    const std::string accepted = key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    unsigned char digest[20];
    websocketpp::sha1::calc(accepted.data(), accepted.size(), digest);
    const std::string response = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                 "Sec-WebSocket-Accept: " + EncodeBase64(digest, sizeof digest) + "\r\n\r\n";
    SendAll(response.data(), response.size());
}

std::string BlockingHost::Receive() {
    for (;;) {
        if (std::optional<std::string> text = ReceiveFrame()) return std::move(*text);
    }
}

std::optional<std::string> BlockingHost::ReceiveFrame() {
    unsigned char header[2];
    ReadExactly(reinterpret_cast<char*>(header), 2);
    std::uint64_t length = header[1] & 0x7f;
    if (length >= 126) {
        unsigned char extended[8];
        const std::size_t bytes = length == 126 ? 2 : 8;
        ReadExactly(reinterpret_cast<char*>(extended), bytes);
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i) length = (length << 8) | extended[i];
    }
    std::array<unsigned char, 4> key{};
    if (header[1] & 0x80) ReadExactly(reinterpret_cast<char*>(key.data()), key.size());
    std::string payload(length, '\0');
    ReadExactly(&payload[0], payload.size());
    if (header[1] & 0x80) MaskWebSocketPayload(payload, key);

    const unsigned char opcode = header[0] & 0x0f;
    if (opcode == kPong) {
        ++pongs;
        return std::nullopt;
    }
    if (opcode == kClose) throw std::runtime_error("blocking host: the plugin closed the connection");
    if (opcode != kText || !(header[0] & 0x80)) {
        throw std::runtime_error("blocking host: the plugin sent a frame that is not a whole text message");
    }
    return payload;
}

void BlockingHost::Send(const std::string& text) { SendFrame(kText, text); }

void BlockingHost::SendBinary(const std::string& data) { SendFrame(kBinary, data); }

void BlockingHost::Ping(const std::string& data) {
    if (data.size() > 125) throw std::runtime_error("blocking host: a ping carries at most 125 bytes");
    SendFrame(kPing, data);
}

void BlockingHost::SendFrame(unsigned char opcode, const std::string& payload) {
    std::string frame(1, static_cast<char>(0x80 | opcode));  // final frame; a server does not mask
    if (payload.size() < 126) {
        frame += static_cast<char>(payload.size());
    } else if (payload.size() < 65536) {
        frame += static_cast<char>(126);
        frame += static_cast<char>(payload.size() >> 8);
        frame += static_cast<char>(payload.size() & 0xff);
    } else {
        frame += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((payload.size() >> shift) & 0xff);
    }
    frame += payload;
    SendAll(frame.data(), frame.size());
}
