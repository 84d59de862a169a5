// The answering side of OpenCodeAdapter: the user's decisions, and the automatic reply of a
// session-wide grant, posted to the API the request was asked on.

#include "Actions/ControlAction.h"
#include "Adapters/OpenCodeAdapter.h"
#include "Core/SessionStore.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

namespace velquist {

namespace {

std::string shortKey(const std::string& sessionID)
{
    return sessionID.substr(0, 12);
}

QString pathPart(const std::string& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(text)));
}

std::string permissionBody(std::string_view reply)
{
    return Json::dump(nlohmann::json{{"reply", reply}});
}

} // namespace

QUrl OpenCodeAdapter::replyURL(const std::string& serverBase, OpenCodeApi api, bool isQuestion,
                               const std::string& sessionID, const std::string& requestID)
{
    const auto colon = sessionID.find(':');
    const std::string openCodeID = colon == std::string::npos ? sessionID : sessionID.substr(colon + 1);
    const QString kind = isQuestion ? QStringLiteral("question") : QStringLiteral("permission");
    QString path;
    if (api == OpenCodeApi::v2)
        path = QStringLiteral("/api/session/") + pathPart(openCodeID) + "/" + kind + "/" +
               pathPart(requestID) + QStringLiteral("/reply");
    else
        path = "/" + kind + "/" + pathPart(requestID) + QStringLiteral("/reply");
    return QUrl(QString::fromStdString(serverBase) + path, QUrl::StrictMode);
}

std::optional<std::vector<std::vector<std::string>>>
OpenCodeAdapter::answerLabels(const std::optional<AgentInquiry>& inquiry,
                              const std::vector<std::vector<int>>& selections)
{
    if (!inquiry || selections.size() != inquiry->questions.size())
        return std::nullopt;
    std::vector<std::vector<std::string>> labels;
    for (std::size_t i = 0; i < selections.size(); ++i) {
        const auto& options = inquiry->questions[i].options;
        if (selections[i].empty())
            return std::nullopt;
        std::vector<std::string> chosen;
        for (const int index : selections[i]) {
            if (index < 0 || static_cast<std::size_t>(index) >= options.size())
                return std::nullopt;
            chosen.push_back(options[static_cast<std::size_t>(index)].label);
        }
        labels.push_back(std::move(chosen));
    }
    return labels;
}

std::optional<OpenCodeAdapter::Reply> OpenCodeAdapter::buildReply(const ControlAction& action,
                                                                  const PendingPrompt& prompt,
                                                                  const std::string& serverBase,
                                                                  const std::string& sessionID)
{
    Reply reply;
    if (const auto* approve = action.as<ControlAction::Approve>(); approve && !prompt.isQuestion) {
        reply.body = permissionBody(approve->scope == GrantScope::always ? "always" : "once");
        reply.note = approve->scope == GrantScope::once
                         ? "Allowed from notch"
                         : "Allowed (" + std::string(toString(approve->scope)) + ") from notch";
    } else if (action.as<ControlAction::Deny>() && !prompt.isQuestion) {
        reply.body = permissionBody("reject");
        reply.note = "Denied from notch";
    } else if (const auto* answer = action.as<ControlAction::Answer>(); answer && prompt.isQuestion) {
        const auto labels = answerLabels(prompt.inquiry, answer->selections);
        if (!labels)
            return std::nullopt;
        reply.body = Json::dump(nlohmann::json{{"answers", *labels}});
        reply.note = "Answered from notch";
    } else {
        return std::nullopt;
    }
    reply.url = replyURL(serverBase, prompt.api, prompt.isQuestion, sessionID, prompt.requestID);
    return reply;
}

bool OpenCodeAdapter::resolveDecision(const ControlAction& action, const std::string& sessionID)
{
    const auto held = m_pending.find(sessionID);
    if (held == m_pending.end())
        return false;
    const auto server = m_sessionServer.find(sessionID);
    if (server == m_sessionServer.end())
        return false;
    const auto reply = buildReply(action, held->second, server->second, sessionID);
    if (!reply)
        return false;
    if (const auto* approve = action.as<ControlAction::Approve>();
        approve && approve->scope == GrantScope::session)
        m_autoApprove.insert(sessionID);
    const std::string requestID = held->second.requestID;
    const std::string described = action.describe();
    post(reply->url, reply->body, sessionID,
         [this, sessionID, requestID, described, note = reply->note](bool accepted) {
             if (!accepted) {
                 Log::debug("opencode", "reply for " + shortKey(sessionID) + " failed; card left for retry");
                 return;
             }
             // A newer request that arrived meanwhile stays held: this reply did not answer it.
             const auto current = m_pending.find(sessionID);
             if (current != m_pending.end() && current->second.requestID != requestID)
                 return;
             m_pending.erase(sessionID);
             m_store.update(sessionID, [&](Session& s) {
                 s.status = SessionStatus::Idle{};
                 s.lastActivity = note;
             });
             Log::debug("opencode", "replied " + described + " for " + shortKey(sessionID));
         });
    return true;
}

void OpenCodeAdapter::autoApprove(const std::string& id, const std::string& requestID, OpenCodeApi api)
{
    const auto server = m_sessionServer.find(id);
    if (server == m_sessionServer.end())
        return;
    post(replyURL(server->second, api, false, id, requestID), permissionBody("once"), id, [](bool) {});
    m_store.update(id, [](Session& s) { s.lastActivity = "Auto-approved"; });
    Log::debug("opencode", "auto-approved " + shortKey(id) + " (session grant)");
}

void OpenCodeAdapter::post(const QUrl& url, const std::string& body, const std::string& sessionID,
                           std::function<void(bool)> done)
{
    // The server's own id, as its logs name the session.
    const std::string prefix = m_engine.idNamespace + ":";
    const std::string openCodeID =
        sessionID.starts_with(prefix) ? sessionID.substr(prefix.size()) : sessionID;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    // A decision goes to the server that asked for it and nowhere else.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network->post(request, QByteArray::fromStdString(body));
    QPointer<QNetworkReply> guard(reply);
    // Only the status is of use: the body is let go as it comes, so no answer can grow in memory.
    reply->setReadBufferSize(64 * 1024);
    connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->skip(reply->bytesAvailable()); });
    auto timeout = std::make_shared<ScheduledTimer>(
        m_services.scheduler, m_services.scheduler.schedule(kReplyTimeout, [guard] {
            if (guard && !guard->isFinished() && guard->error() == QNetworkReply::NoError)
                guard->abort();
        }));
    connect(reply, &QNetworkReply::finished, this, [reply, timeout, openCodeID, done = std::move(done)] {
        timeout->cancel();
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError && status == 0) {
            Log::debug("opencode", "reply POST for OpenCode session " + openCodeID +
                                       " failed: " + reply->errorString().toStdString());
            done(false);
            return;
        }
        if (status < 200 || status > 299) {
            Log::debug("opencode",
                       "reply for OpenCode session " + openCodeID + " got HTTP " + std::to_string(status));
            done(false);
            return;
        }
        done(true);
    });
}

} // namespace velquist
