#include "UI/PeekView.h"

#include "Core/SessionCardText.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/Kit/MetaPill.h"
#include "UI/Kit/Palette.h"
#include "UI/SessionMark.h"
#include "UI/SessionSignal.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace velquist {
namespace {

QFont titleFont()
{
    return AuroraStyle::font(13.5, QFont::DemiBold);
}
QFont subtitleFont()
{
    return AuroraStyle::font(11.5);
}
constexpr qreal kLineSpacing = 2;

qreal textHeight()
{
    return QFontMetricsF(titleFont()).height() + kLineSpacing + QFontMetricsF(subtitleFont()).height();
}

} // namespace

PeekView::PeekView(const Session& session, Clock::WallTime now, QWidget* parent)
    : QWidget(parent), m_session(session), m_now(now),
      m_mark(new SessionMark(session.agent, SessionSignal::color(session, now), false, this)),
      m_pill(new MetaPill(QString(), AuroraStyle::pillFill(), AuroraStyle::pillText(), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSession(session, now);
}

void PeekView::setSession(const Session& session, Clock::WallTime now)
{
    m_session = session;
    m_now = now;
    m_mark->setKind(session.agent);
    m_mark->setPip(SessionSignal::color(session, now));
    const bool elapsed = showsElapsed(session, now);
    if (elapsed)
        m_pill->setText(QString::fromStdString(ElapsedText::format(*session.attentionSince, now)));
    m_pill->setVisible(elapsed);
    relayout();
    update();
}

QString PeekView::title(const Session& session)
{
    // The same name as the session's card, cleaned and cut the same way.
    return SessionCardText::title(session.cwd);
}

QString PeekView::subtitle(const Session& session)
{
    if (const auto* permission = session.status.as<SessionStatus::NeedsPermission>())
        return QString::fromStdString(permission->request.summary);
    if (const auto* waiting = session.status.as<SessionStatus::WaitingForInput>())
        if (!waiting->inquiry.questions.empty())
            return QString::fromStdString(waiting->inquiry.questions.front().question);
    return QStringLiteral("Needs you");
}

bool PeekView::showsElapsed(const Session& session, Clock::WallTime now)
{
    return session.attentionSince && now - *session.attentionSince > std::chrono::seconds(60);
}

QSize PeekView::sizeHint() const
{
    const qreal content =
        std::max({textHeight(), qreal(m_mark->sizeHint().height()), qreal(m_pill->sizeHint().height())});
    return QSize(int(kWidth), int(std::ceil(content + 2 * kPaddingY)));
}

QRectF PeekView::textRect() const
{
    const qreal left = kPaddingX + m_mark->sizeHint().width() + kSpacing;
    qreal right = width() - kPaddingX;
    if (!m_pill->isHidden())
        right = m_pill->x() - kSpacing;
    return QRectF(left, (height() - textHeight()) / 2, std::max(0.0, right - left), textHeight());
}

void PeekView::relayout()
{
    const QSize mark = m_mark->sizeHint();
    m_mark->setGeometry(int(kPaddingX), (height() - mark.height()) / 2, mark.width(), mark.height());
    if (!m_pill->isHidden()) {
        const QSize pill = m_pill->sizeHint();
        m_pill->setGeometry(int(width() - kPaddingX - pill.width()), (height() - pill.height()) / 2,
                            pill.width(), pill.height());
    }
}

void PeekView::resizeEvent(QResizeEvent*)
{
    relayout();
}

void PeekView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF text = textRect();
    const QFontMetricsF titleMetrics(titleFont());
    const QFontMetricsF subtitleMetrics(subtitleFont());
    painter.setFont(titleFont());
    painter.setPen(Palette::textBright());
    painter.drawText(QRectF(text.left(), text.top(), text.width(), titleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     titleMetrics.elidedText(title(m_session), Qt::ElideRight, text.width()));
    painter.setFont(subtitleFont());
    painter.setPen(SessionSignal::color(m_session, m_now));
    // One line: a multi-line summary shows as one, cut at the edge.
    const QString line = subtitle(m_session).replace('\n', ' ');
    painter.drawText(QRectF(text.left(), text.top() + titleMetrics.height() + kLineSpacing, text.width(),
                            subtitleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     subtitleMetrics.elidedText(line, Qt::ElideRight, text.width()));
}

} // namespace velquist
