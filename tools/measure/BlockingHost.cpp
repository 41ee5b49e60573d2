#include "BlockingHost.h"

#include "host/WebSocketMasking.h"
#include "support/Base64.h"

#include <websocketpp/sha1/sha1.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kDeadlineMs = 5000;

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

void BlockingHost::WaitReadable(int descriptor) {
    pollfd waiting{descriptor, POLLIN, 0};
    Check(poll(&waiting, 1, kDeadlineMs) == 1, "nothing arrived within the deadline");
}

void BlockingHost::ReadExactly(char* data, std::size_t size) {
    while (size > 0) {
        WaitReadable(connection);
        const ssize_t count = recv(connection, data, size, 0);
        Check(count > 0, "the plugin closed the connection");
        data += count;
        size -= static_cast<std::size_t>(count);
    }
}

void BlockingHost::Accept() {
    WaitReadable(listener);
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
    Check(send(connection, response.data(), response.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(response.size()),
          "send");
}

std::string BlockingHost::Receive() {
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
    if ((header[0] & 0x0f) != 0x1) throw std::runtime_error("blocking host: the plugin sent a frame that is not text");
    return payload;
}

void BlockingHost::Send(const std::string& text) {
    std::string frame(1, static_cast<char>(0x81));  // final text frame; a server does not mask
    if (text.size() < 126) {
        frame += static_cast<char>(text.size());
    } else if (text.size() < 65536) {
        frame += static_cast<char>(126);
        frame += static_cast<char>(text.size() >> 8);
        frame += static_cast<char>(text.size() & 0xff);
    } else {
        frame += static_cast<char>(127);
        for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((text.size() >> shift) & 0xff);
    }
    frame += text;
    Check(send(connection, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size()), "send");
}
