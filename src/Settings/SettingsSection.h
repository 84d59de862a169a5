#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace velquist {

class GlyphLabel;
class SettingsSwitch;

// One group of a settings page: an optional header, a card of rows with hairlines between them,
// and an optional footer. Rows are real controls; a labelled row names its control after its
// label, so the label is also what assistive tools read.
class SettingsSection : public QWidget
{
  public:
    // An empty header shows none.
    explicit SettingsSection(const QString& header = {}, QWidget* parent = nullptr);

    // Replaces the header's text by a widget (a label with a symbol, say).
    void setHeaderWidget(QWidget* header);
    // The footer under the card, in the callout font and the secondary colour; empty hides it.
    QLabel* setFooter(const QString& text);

    // A row holding `content` across its width.
    QWidget* addRow(QWidget* content);
    // A row holding `content`, placed at `index` among the rows (at the end when out of range).
    // Deleting the returned row removes it.
    QWidget* insertRow(int index, QWidget* content);
    // A row with `label` on the left and `control` on the right.
    QWidget* addRow(const QString& label, QWidget* control);
    // A row that is one switch with its title.
    SettingsSwitch* addSwitch(const QString& title);
    // A line of explanation under the last row's control, in the callout font and the secondary
    // colour. Hide it to show it only while a setting asks for it.
    QLabel* addNote(const QString& text);
    // A row that is one line of text in the secondary colour.
    QLabel* addText(const QString& text);

    // The header's text ("" when it has none or a widget instead).
    QString header() const;

    // A row's label: plain text in the body font and the primary colour.
    static QLabel* rowLabel(const QString& text, QWidget* parent = nullptr);
    // A label in the body font and secondary colour, plain text, wrapped.
    static QLabel* secondaryLabel(const QString& text, QWidget* parent = nullptr);
    // A label in the callout font and secondary colour, plain text, wrapped.
    static QLabel* calloutLabel(const QString& text, QWidget* parent = nullptr);
    // The same led by a glyph in the secondary colour (a status line under a switch).
    static GlyphLabel* calloutGlyphLabel(const QString& glyph, const QString& text,
                                         QWidget* parent = nullptr);

  private:
    QVBoxLayout* m_layout;
    QLabel* m_header;
    QWidget* m_headerWidget = nullptr;
    QWidget* m_card;
    QVBoxLayout* m_rows;
    QLabel* m_footer = nullptr;
    QPointer<QWidget> m_lastRow;
};

} // namespace velquist
