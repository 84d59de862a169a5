#include "Adapters/ScriptedOpenCodeServer.h"

#include <algorithm>
#include <charconv>

namespace velquist::test {

ScriptedOpenCodeServer::ScriptedOpenCodeServer(const QHostAddress& address)
{
    m_server.listen(address, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedOpenCodeServer::accept);
}

ScriptedOpenCodeServer::~ScriptedOpenCodeServer()
{
    // The sockets go with the listener, after this object's maps: they must not call back.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
    m_server.close();
}

void ScriptedOpenCodeServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        m_buffers[socket];
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.erase(socket);
            socket->deleteLater();
        });
    }
}

void ScriptedOpenCodeServer::readFrom(QTcpSocket* socket)
{
    std::string& buffer = m_buffers[socket];
    buffer += socket->readAll().toStdString();
    for (;;) {
        const auto headerEnd = buffer.find("\r\n\r\n");
        if (headerEnd == std::string::npos)
            return;
        const std::string head = buffer.substr(0, headerEnd);
        std::size_t length = 0;
        std::string lower = head;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (const auto at = lower.find("content-length:"); at != std::string::npos) {
            auto start = at + 15;
            while (start < lower.size() && lower[start] == ' ')
                ++start;
            std::from_chars(lower.data() + start, lower.data() + lower.size(), length);
        }
        if (buffer.size() < headerEnd + 4 + length)
            return;
        Request request;
        const auto firstSpace = head.find(' ');
        const auto secondSpace = head.find(' ', firstSpace + 1);
        request.method = head.substr(0, firstSpace);
        request.path = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        request.body = buffer.substr(headerEnd + 4, length);
        buffer.erase(0, headerEnd + 4 + length);
        m_requests.push_back(request);
        answer(socket, request);
    }
}

void ScriptedOpenCodeServer::answer(QTcpSocket* socket, const Request& request)
{
    if (!redirectTo.empty()) {
        if (request.method == "GET")
            ++m_streamRequests[request.path];
        socket->write(QByteArray::fromStdString("HTTP/1.1 307 Temporary Redirect\r\nLocation: " + redirectTo +
                                                request.path + "\r\nContent-Length: 0\r\n\r\n"));
        return;
    }
    if (request.method == "GET") {
        ++m_streamRequests[request.path];
        if (streamStatus != 200) {
            socket->write(
                QByteArray::fromStdString("HTTP/1.1 " + std::to_string(streamStatus) +
                                          " Failed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
            socket->disconnectFromHost();
            return;
        }
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
                      "Connection: close\r\n\r\n");
        socket->flush();
        m_streams[request.path].emplace_back(socket);
        return;
    }
    const std::string body = postStatus == 200 ? "true" : "";
    socket->write(QByteArray::fromStdString("HTTP/1.1 " + std::to_string(postStatus) +
                                            " Status\r\nContent-Type: application/json\r\nContent-Length: " +
                                            std::to_string(body.size()) + "\r\n\r\n" + body));
}

void ScriptedOpenCodeServer::send(const std::string& path, const std::string& json)
{
    sendRaw(path, "data: " + json + "\n\n");
}

void ScriptedOpenCodeServer::sendRaw(const std::string& path, const std::string& bytes)
{
    for (const auto& socket : m_streams[path]) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            socket->write(QByteArray::fromStdString(bytes));
    }
}

int ScriptedOpenCodeServer::openStreams(const std::string& path) const
{
    const auto found = m_streams.find(path);
    if (found == m_streams.end())
        return 0;
    return static_cast<int>(std::count_if(found->second.begin(), found->second.end(), [](const auto& socket) {
        return socket && socket->state() == QAbstractSocket::ConnectedState;
    }));
}

int ScriptedOpenCodeServer::streamRequests(const std::string& path) const
{
    const auto found = m_streamRequests.find(path);
    return found == m_streamRequests.end() ? 0 : found->second;
}

void ScriptedOpenCodeServer::dropStreams()
{
    for (auto& [path, sockets] : m_streams) {
        for (const auto& socket : sockets) {
            if (socket)
                socket->abort();
        }
        sockets.clear();
    }
}

std::vector<ScriptedOpenCodeServer::Request> ScriptedOpenCodeServer::posts() const
{
    std::vector<Request> result;
    for (const auto& request : m_requests) {
        if (request.method == "POST")
            result.push_back(request);
    }
    return result;
}

} // namespace velquist::test
