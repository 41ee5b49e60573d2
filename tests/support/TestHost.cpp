#include "TestHost.h"

#include <websocketpp/config/asio_no_tls.hpp>
#include <websocketpp/server.hpp>

using WsServer = websocketpp::server<websocketpp::config::asio>;

struct TestHost::Server {
    WsServer endpoint;
    websocketpp::connection_hdl connection;
};

TestHost::TestHost(bool refuseHandshake) : server(new Server) {
    WsServer& endpoint = server->endpoint;
    endpoint.clear_access_channels(websocketpp::log::alevel::all);
    endpoint.clear_error_channels(websocketpp::log::elevel::all);
    endpoint.init_asio();
    endpoint.set_reuse_addr(true);
    endpoint.set_validate_handler([refuseHandshake](websocketpp::connection_hdl) { return !refuseHandshake; });
    endpoint.set_open_handler([this](websocketpp::connection_hdl handle) {
        std::lock_guard<std::mutex> guard(mutex);
        server->connection = handle;
        connected = true;
        changed.notify_all();
    });
    auto ended = [this](websocketpp::connection_hdl) {
        std::lock_guard<std::mutex> guard(mutex);
        disconnected = true;
        changed.notify_all();
    };
    endpoint.set_close_handler(ended);
    endpoint.set_fail_handler(ended);
    endpoint.set_message_handler([this](websocketpp::connection_hdl, WsServer::message_ptr message) {
        std::lock_guard<std::mutex> guard(mutex);
        messages.push_back(message->get_payload());
        changed.notify_all();
    });
    endpoint.listen(websocketpp::lib::asio::ip::tcp::endpoint(websocketpp::lib::asio::ip::make_address("127.0.0.1"), 0));
    websocketpp::lib::asio::error_code error;
    port = endpoint.get_local_endpoint(error).port();
    endpoint.start_accept();
    loop = std::thread([this] { server->endpoint.run(); });
}

TestHost::~TestHost() {
    server->endpoint.stop();
    loop.join();
}

bool TestHost::WaitForConnection(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, deadline, [this] { return connected; });
}

std::optional<std::string> TestHost::NextMessage(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!changed.wait_for(lock, deadline, [this] { return !messages.empty(); })) return std::nullopt;
    std::string message = std::move(messages.front());
    messages.pop_front();
    return message;
}

bool TestHost::WaitForDisconnection(std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, deadline, [this] { return disconnected; });
}

void TestHost::Send(const std::string& text) {
    websocketpp::lib::asio::post(server->endpoint.get_io_service(), [this, text] {
        websocketpp::lib::error_code ignored;
        server->endpoint.send(server->connection, text, websocketpp::frame::opcode::text, ignored);
    });
}

void TestHost::SendBinary(const std::string& bytes) {
    websocketpp::lib::asio::post(server->endpoint.get_io_service(), [this, bytes] {
        websocketpp::lib::error_code ignored;
        server->endpoint.send(server->connection, bytes, websocketpp::frame::opcode::binary, ignored);
    });
}

void TestHost::Close() {
    websocketpp::lib::asio::post(server->endpoint.get_io_service(), [this] {
        websocketpp::lib::error_code ignored;
        server->endpoint.stop_listening(ignored);
        server->endpoint.close(server->connection, websocketpp::close::status::going_away, "host quits", ignored);
    });
}
