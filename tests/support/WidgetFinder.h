#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace velquist::test {

// The child of `root` of type T whose accessible name, button text or label text is `name`; none
// when there is no such child.
template <typename T> T* findNamed(const QWidget& root, const QString& name)
{
    for (T* child : root.findChildren<T*>()) {
        if (child->accessibleName() == name)
            return child;
        if (const auto* button = qobject_cast<const QAbstractButton*>(child);
            button && button->text() == name)
            return child;
        if (const auto* label = qobject_cast<const QLabel*>(child); label && label->text() == name)
            return child;
    }
    return nullptr;
}

// The texts of a picker's rows, separators as "-".
inline QStringList rowsOf(const QComboBox& picker)
{
    QStringList rows;
    for (int index = 0; index < picker.count(); ++index)
        rows << (picker.itemData(index, Qt::AccessibleDescriptionRole).toString() ==
                         QLatin1String("separator")
                     ? QStringLiteral("-")
                     : picker.itemText(index));
    return rows;
}

// Picks the row with this text as a user would: the picker shows it and announces the choice.
inline void choose(QComboBox& picker, const QString& text)
{
    const int index = picker.findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    picker.setCurrentIndex(index);
    Q_EMIT picker.activated(index);
}

} // namespace velquist::test
