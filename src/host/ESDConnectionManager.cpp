#include "host/ESDConnectionManager.h"

#include "host/ESDBasePlugin.h"
#include "host/HostMessages.h"
#include "host/WebSocketMasking.h"

#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

#include <random>

using Client = websocketpp::client<websocketpp::config::asio_client>;

struct ESDConnectionManager::Endpoint {
    Client client;
    websocketpp::connection_hdl connectionHandle;
    std::random_device maskingKeys;  // a client's masking keys must be unpredictable
};

ESDConnectionManager::ESDConnectionManager(int port, const std::string& pluginUuid, const std::string& registerEvent,
                                           ESDBasePlugin* plugin)
    : port(port), pluginUuid(pluginUuid), registerEvent(registerEvent), endpoint(new Endpoint), plugin(plugin) {}

ESDConnectionManager::~ESDConnectionManager() = default;

void ESDConnectionManager::Run() {
    Client& client = endpoint->client;
    try {
        client.clear_access_channels(websocketpp::log::alevel::all);
        client.clear_error_channels(websocketpp::log::elevel::all);
        client.init_asio();

        client.set_open_handler([this, &client](websocketpp::connection_hdl handle) {
            websocketpp::lib::error_code ignored;
            // Without it, a key image can wait tens of milliseconds behind
            // Nagle's algorithm. The socket exists only once the connection is open.
            if (Client::connection_ptr connection = client.get_con_from_hdl(handle, ignored)) {
                connection->get_raw_socket().set_option(websocketpp::lib::asio::ip::tcp::no_delay(true), ignored);
            }
            client.send(endpoint->connectionHandle, BuildRegistrationMessage(registerEvent, pluginUuid),
                        websocketpp::frame::opcode::text, ignored);
        });
        // A failed or closed connection needs no handler: the loop runs out
        // of work and Run returns.
        client.set_message_handler([this](websocketpp::connection_hdl, Client::message_ptr message) {
            if (!message || message->get_opcode() != websocketpp::frame::opcode::text) return;
            DispatchHostMessage(*plugin, message->get_payload());
        });

        websocketpp::lib::error_code error;
        Client::connection_ptr connection = client.get_connection("ws://127.0.0.1:" + std::to_string(port), error);
        if (error) return;
        endpoint->connectionHandle = connection->get_handle();
        client.connect(connection);
        client.run();
    } catch (const std::exception&) {  // websocketpp::exception, or asio's own
        // The connection is over; start-up ends the process.
    }
}

void ESDConnectionManager::SendSetImage(const std::string& image, const std::string& context) {
    websocketpp::lib::error_code ignored;
    Client::connection_ptr connection = endpoint->client.get_con_from_hdl(endpoint->connectionHandle, ignored);
    if (!connection) return;
    // The message is written straight into the library's buffer and framed
    // here: the library would copy a megabyte of Base64 into a second buffer
    // and mask it byte by byte, where masking in place, a word at a time,
    // costs a fraction of that.
    Client::message_ptr message = connection->get_message(websocketpp::frame::opcode::text, 0);
    std::string& payload = message->get_raw_payload();
    AppendSetImageMessage(payload, image, context);
    websocketpp::frame::masking_key_type key;
    key.i = endpoint->maskingKeys();
    MaskWebSocketPayload(payload, {static_cast<unsigned char>(key.c[0]), static_cast<unsigned char>(key.c[1]),
                                   static_cast<unsigned char>(key.c[2]), static_cast<unsigned char>(key.c[3])});
    message->set_header(websocketpp::frame::prepare_header(
        websocketpp::frame::basic_header(websocketpp::frame::opcode::text, payload.size(), true, true),
        websocketpp::frame::extended_header(payload.size(), key.i)));
    message->set_prepared(true);
    connection->send(message);
}
