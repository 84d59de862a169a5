#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <string>
#include <vector>

namespace velquist::test {

// A local HTTP server that plays an OpenCode server: it keeps every GET open as an event stream
// that the test writes lines to, and records every POST with its body, answering with the status
// the test set.
class ScriptedOpenCodeServer final : public QObject
{
  public:
    struct Request
    {
        std::string method;
        std::string path;
        std::string body;
    };

    explicit ScriptedOpenCodeServer(const QHostAddress& address = QHostAddress::LocalHost);
    ~ScriptedOpenCodeServer() override;

    int port() const { return m_server.serverPort(); }
    bool isListening() const { return m_server.isListening(); }

    // Writes "data: <json>" and a blank line to every open stream of `path`.
    void send(const std::string& path, const std::string& json);
    // Writes raw bytes to every open stream of `path`.
    void sendRaw(const std::string& path, const std::string& bytes);
    // How many streams of `path` are open now, and how many were ever asked for.
    int openStreams(const std::string& path) const;
    int streamRequests(const std::string& path) const;
    // Cuts every open stream.
    void dropStreams();
    std::vector<Request> posts() const;

    // The status of later stream answers (200 streams events, anything else is answered at once).
    int streamStatus = 200;
    // The status of later POST answers.
    int postStatus = 200;
    // When set, every later request is answered with a redirect to this base and the same path.
    std::string redirectTo;

  private:
    void accept();
    void readFrom(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);

    QTcpServer m_server;
    std::map<QTcpSocket*, std::string> m_buffers;
    std::map<std::string, std::vector<QPointer<QTcpSocket>>> m_streams;
    std::map<std::string, int> m_streamRequests;
    std::vector<Request> m_requests;
};

} // namespace velquist::test
