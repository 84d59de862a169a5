#include "Settings/SettingsForm.h"

#include "Settings/SettingsSection.h"
#include "UI/Kit/SettingsStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velquist {

SettingsForm::SettingsForm(QWidget* parent)
    : QScrollArea(parent), m_column(new QWidget), m_layout(new QVBoxLayout(m_column))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_layout->setContentsMargins(20, 16, 20, 20);
    m_layout->setSpacing(18);
    m_layout->addStretch(1);
    setWidget(m_column);
}

SettingsSection* SettingsForm::addSection(const QString& header)
{
    auto* section = new SettingsSection(header);
    addSection(section);
    return section;
}

void SettingsForm::addSection(SettingsSection* section)
{
    addWidget(section);
}

void SettingsForm::addWidget(QWidget* widget)
{
    // Before the closing stretch, which keeps a short page at the top.
    m_layout->insertWidget(m_layout->count() - 1, widget);
}

QLabel* SettingsForm::addLine(const QString& text)
{
    QLabel* label = SettingsSection::secondaryLabel(text);
    addWidget(label);
    return label;
}

} // namespace velquist
