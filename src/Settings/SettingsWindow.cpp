#include "Settings/SettingsWindow.h"

#include "Settings/SettingsAccessibility.h"
#include "Settings/SettingsToolbar.h"
#include "UI/Kit/SettingsStyle.h"

#include <QCloseEvent>
#include <QCursor>
#include <QFrame>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QVariant>

namespace velquist {

SettingsWindow::SettingsWindow(SettingsTab selection, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_selection(selection), m_toolbar(new SettingsToolbar(selection, this)), m_layout(new QVBoxLayout(this))
{
    setWindowTitle(QStringLiteral("Settings"));
    setAccessibleName(QStringLiteral("Settings"));
    setFixedWidth(kWidth);
    setMinimumHeight(kMinimumHeight);
    resize(kWidth, 640);
    SettingsStyle::apply(*this);

    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_toolbar);
    auto* divider = new QFrame(this);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette line = divider->palette();
    line.setColor(QPalette::Window, SettingsStyle::sectionStroke());
    divider->setPalette(line);
    SettingsAccessibility::markAsSeparator(*divider);
    m_layout->addWidget(divider);
    // The page goes here; the stretch holds the place while a tab has none.
    m_layout->addStretch(1);

    connect(m_toolbar, &SettingsToolbar::tabChosen, this, &SettingsWindow::setSelection);
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::setPageFactory(SettingsTab tab, PageFactory factory)
{
    m_factories[std::size_t(SettingsTabs::index(tab))] = std::move(factory);
    // A hidden window builds its page when it is shown.
    if (tab == m_selection && isVisible())
        rebuildPage();
}

void SettingsWindow::setSelection(SettingsTab tab)
{
    const bool changed = tab != m_selection;
    m_selection = tab;
    m_toolbar->setSelection(tab);
    rebuildPage();
    if (changed)
        Q_EMIT selectionChanged(tab);
}

void SettingsWindow::present()
{
    // Centred once, where the user is; after that it comes back where it was left. An explicit
    // position also keeps a window manager from placing it anew on every map.
    if (!isVisible()) {
        if (!m_place)
            m_place = centredPlace();
        move(*m_place);
    }
    show();
    raise();
    activateWindow();
}

void SettingsWindow::selectTabRequested(const QVariant& object)
{
    if (object.typeId() != QMetaType::QString)
        return;
    if (const auto tab = SettingsTabs::fromRawValue(object.toString()))
        setSelection(*tab);
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    // Reopening the window reads the page's state anew; a page shown by the system (a desktop
    // switch, an unminimise) keeps what the user was doing.
    if (!event->spontaneous())
        rebuildPage();
    QWidget::showEvent(event);
}

void SettingsWindow::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous())
        m_place = pos();
    QWidget::hideEvent(event);
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    // A closed window would give up its native window, and the desktop would meet a new one on
    // every reopening; hidden, it comes back as the window the user had.
    event->ignore();
    hide();
}

QPoint SettingsWindow::centredPlace() const
{
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return pos();
    const QRect area = screen->availableGeometry();
    return area.center() - QPoint(width() / 2, height() / 2) + QPoint(1, 1);
}

void SettingsWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), SettingsStyle::windowBackground());
}

void SettingsWindow::rebuildPage()
{
    const int slot = m_layout->count() - 1;
    if (m_page) {
        m_layout->removeWidget(m_page);
        m_page->hide();
        m_page->deleteLater();
        m_page = nullptr;
    } else {
        delete m_layout->takeAt(slot);
    }
    const PageFactory& factory = m_factories[std::size_t(SettingsTabs::index(m_selection))];
    QWidget* page = factory ? factory() : nullptr;
    if (page) {
        page->setParent(this);
        m_layout->addWidget(page, 1);
        page->show();
        m_page = page;
    } else {
        m_layout->addStretch(1);
    }
}

} // namespace velquist
