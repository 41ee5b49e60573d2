#include "host/ESDConnectionManager.h"

#include "host/ESDBasePlugin.h"
#include "host/HostMessages.h"
#include "host/OutgoingQueue.h"
#include "host/WebSocketMasking.h"
#include "support/Log.h"

#include <websocketpp/client.hpp>
#include <websocketpp/config/asio_no_tls_client.hpp>

#include <mutex>
#include <random>
#include <set>

namespace {

// A host that breaks the protocol (a message over the size limit among such
// faults) is dropped at once rather than sent a close frame: the connection
// then keeps the fault as its error, for the log to name.
struct ClientConfig : websocketpp::config::asio_client {
    typedef ClientConfig type;
    static const bool drop_on_protocol_error = true;
};

using Client = websocketpp::client<ClientConfig>;

// How often a full queue is looked at again while images wait for room.
constexpr long kRetryMilliseconds = 5;

// The host's messages are small; a larger one ends the connection before it
// is held in memory.
constexpr std::size_t kMaxIncomingMessageSize = 1024 * 1024;

// One line for the log: why the connection ended, and which side ended it.
std::string WhyItEnded(const Client::connection_ptr& connection) {
    if (!connection) return "The connection to the host ended";
    const websocketpp::lib::error_code error = connection->get_ec();
    if (error == websocketpp::processor::error::make_error_code(websocketpp::processor::error::message_too_big)) {
        return "Ended the connection to the host: it sent a message of more than " +
               std::to_string(kMaxIncomingMessageSize) + " bytes";
    }
    if (error) return "The connection to the host ended: " + error.message();
    std::string line = "The host closed the connection (code " + std::to_string(connection->get_remote_close_code());
    if (!connection->get_remote_close_reason().empty()) line += ", \"" + connection->get_remote_close_reason() + "\"";
    return line + ")";
}

}  // namespace

struct ESDConnectionManager::Endpoint {
    Client client;
    websocketpp::connection_hdl connectionHandle;
    std::random_device maskingKeys;  // a client's masking keys must be unpredictable
    // What is unsent is what the library holds in its queue.
    OutgoingQueue outgoing{{[this] {
                                const Client::connection_ptr connection = OpenConnection();
                                return connection ? connection->get_buffered_amount() : std::size_t{0};
                            },
                            [this](const std::string& text) {
                                if (const Client::connection_ptr connection = OpenConnection()) {
                                    connection->send(text, websocketpp::frame::opcode::text);
                                }
                            },
                            [this](const ImageOutbox::Image& image) {
                                if (const Client::connection_ptr connection = OpenConnection()) {
                                    WriteImage(connection, image.context, image.path);
                                }
                            }}};
    bool retryScheduled = false;
    // The timers of RunAfter still to go off: cancelled when the connection
    // ends, so that none keeps the loop, and the process, waiting.
    std::set<Client::timer_ptr> timers;
    // Whether the loop runs, for work handed in from other threads.
    std::mutex loopMutex;
    bool loopRunning = false;

    void SetLoopRunning(bool running) {
        std::lock_guard<std::mutex> guard(loopMutex);
        loopRunning = running;
    }

    Client::connection_ptr OpenConnection() {
        websocketpp::lib::error_code ignored;
        Client::connection_ptr connection = client.get_con_from_hdl(connectionHandle, ignored);
        if (!connection || connection->get_state() != websocketpp::session::state::open) return nullptr;
        return connection;
    }

    // Sends waiting images while the queue has room; when it has none, looks
    // again shortly, and only then: nothing runs while nothing waits.
    void SendWaitingImages() {
        if (!OpenConnection()) {
            outgoing.Clear();
            return;
        }
        if (!outgoing.SendWaitingImages() || retryScheduled) return;
        retryScheduled = true;
        client.set_timer(kRetryMilliseconds, [this](const websocketpp::lib::error_code& error) {
            retryScheduled = false;
            if (!error) SendWaitingImages();
        });
    }

    void CancelTimers() {
        // Cancelling calls each handler later, with an error, and the handler forgets its timer.
        for (const Client::timer_ptr& timer : timers) timer->cancel();
    }

    void WriteImage(const Client::connection_ptr& connection, const std::string& context, const std::string& path) {
        // The message is written straight into the library's buffer and framed
        // here: the library would copy a megabyte of Base64 into a second buffer
        // and mask it byte by byte, where masking in place, a word at a time,
        // costs a fraction of that.
        Client::message_ptr message = connection->get_message(websocketpp::frame::opcode::text, 0);
        std::string& payload = message->get_raw_payload();
        try {
            if (!AppendSetImageMessage(payload, context, path)) return;
        } catch (const std::exception&) {
            return;  // out of memory, or a context the JSON library cannot write: this image is lost
        }
        websocketpp::frame::masking_key_type key;
        key.i = maskingKeys();
        MaskWebSocketPayload(payload, {static_cast<unsigned char>(key.c[0]), static_cast<unsigned char>(key.c[1]),
                                       static_cast<unsigned char>(key.c[2]), static_cast<unsigned char>(key.c[3])});
        message->set_header(websocketpp::frame::prepare_header(
            websocketpp::frame::basic_header(websocketpp::frame::opcode::text, payload.size(), true, true),
            websocketpp::frame::extended_header(payload.size(), key.i)));
        message->set_prepared(true);
        connection->send(message);
    }
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
        client.set_max_message_size(kMaxIncomingMessageSize);

        client.set_open_handler([this, &client](websocketpp::connection_hdl handle) {
            websocketpp::lib::error_code ignored;
            // Without it, a key image can wait tens of milliseconds behind
            // Nagle's algorithm. The socket exists only once the connection is open.
            if (Client::connection_ptr connection = client.get_con_from_hdl(handle, ignored)) {
                connection->get_raw_socket().set_option(websocketpp::lib::asio::ip::tcp::no_delay(true), ignored);
            }
            client.send(endpoint->connectionHandle, BuildRegistrationMessage(registerEvent, pluginUuid),
                        websocketpp::frame::opcode::text, ignored);
            // The saved positions live there; the answer comes as didReceiveGlobalSettings.
            client.send(endpoint->connectionHandle, BuildContextMessage("getGlobalSettings", pluginUuid),
                        websocketpp::frame::opcode::text, ignored);
        });
        client.set_message_handler([this](websocketpp::connection_hdl, Client::message_ptr message) {
            if (!message || message->get_opcode() != websocketpp::frame::opcode::text) return;
            DispatchHostMessage(*plugin, message->get_payload());
        });
        const auto ended = [this, &client](websocketpp::connection_hdl handle) {
            websocketpp::lib::error_code ignored;
            LogLine(EscapeControlCharacters(WhyItEnded(client.get_con_from_hdl(handle, ignored))));
            endpoint->CancelTimers();
        };
        client.set_close_handler(ended);
        client.set_fail_handler(ended);
        // A host that does not read gets no pong rather than a queue that grows for it.
        client.set_ping_handler(
            [this](websocketpp::connection_hdl, std::string) { return endpoint->outgoing.HasRoom(); });

        websocketpp::lib::error_code error;
        Client::connection_ptr connection = client.get_connection("ws://127.0.0.1:" + std::to_string(port), error);
        if (error) return;
        endpoint->connectionHandle = connection->get_handle();
        client.connect(connection);
        endpoint->SetLoopRunning(true);
        client.run();
    } catch (const std::exception& error) {  // websocketpp::exception, or asio's own
        // The connection is over; start-up ends the process.
        LogLine(EscapeControlCharacters(std::string("The connection to the host ended: ") + error.what()));
    }
    endpoint->SetLoopRunning(false);
}

void ESDConnectionManager::SendShowAlert(const std::string& context) { SendText(BuildShowAlertMessage(context)); }

void ESDConnectionManager::SendGlobalSettings(const nlohmann::json& settings) {
    SendText(BuildContextMessage("setGlobalSettings", pluginUuid, settings));
}

void ESDConnectionManager::SendText(const std::string& text) { endpoint->outgoing.SendText(text); }

void ESDConnectionManager::RunAfter(int milliseconds, std::function<void()> work) {
    if (!endpoint->OpenConnection()) return;
    auto timer = std::make_shared<Client::timer_ptr>();
    *timer = endpoint->client.set_timer(
        milliseconds, [this, timer, work = std::move(work)](const websocketpp::lib::error_code& error) {
            endpoint->timers.erase(*timer);
            if (error) return;
            try {
                work();
            } catch (...) {
                // As for a host message whose operation raises: the connection goes on.
            }
        });
    endpoint->timers.insert(*timer);
}

void ESDConnectionManager::RunOnConnectionThread(std::function<void()> work) {
    std::lock_guard<std::mutex> guard(endpoint->loopMutex);
    if (!endpoint->loopRunning) return;
    websocketpp::lib::asio::post(endpoint->client.get_io_service(), [work = std::move(work)] {
        try {
            work();
        } catch (...) {
            // As for a host message whose operation raises: the connection goes on.
        }
    });
}

void ESDConnectionManager::SendImageFile(const std::string& path, const std::string& context) {
    endpoint->outgoing.QueueImage(context, path);
    endpoint->SendWaitingImages();
}
