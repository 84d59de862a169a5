#pragma once

#include <QScrollArea>

class QLabel;
class QVBoxLayout;

namespace velquist {

class SettingsSection;

// A settings tab's page: grouped sections in a column that scrolls when it is taller than the
// window. Sections and lines are shown in the order they are added.
class SettingsForm : public QScrollArea
{
  public:
    explicit SettingsForm(QWidget* parent = nullptr);

    // Appends a new section; an empty header shows none.
    SettingsSection* addSection(const QString& header = {});
    // Appends a section built elsewhere.
    void addSection(SettingsSection* section);
    // Appends a widget of the tab's own between the sections.
    void addWidget(QWidget* widget);
    // Appends one line in the secondary colour: what a tab shows instead of its controls while
    // the service it edits is not running yet.
    QLabel* addLine(const QString& text);

  private:
    QWidget* m_column;
    QVBoxLayout* m_layout;
};

} // namespace velquist
