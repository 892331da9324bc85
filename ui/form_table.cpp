// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/form_table.h"

#include "ui/text_conversion.h"
#include "ui/widgets.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

namespace cartonym::ui {
namespace {

QWidget* create(ControlKind kind, const QString& caption, QWidget* container)
{
    switch (kind) {
    case ControlKind::Frame: return new QGroupBox(caption, container);
    case ControlKind::OptionButton: return new QRadioButton(caption, container);
    case ControlKind::CheckBox: return new QCheckBox(caption, container);
    case ControlKind::Label: {
        auto* label = new QLabel(caption, container);
        label->setWordWrap(true);
        return label;
    }
    case ControlKind::ValueLabel: {
        auto* label = new QLabel(caption, container);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case ControlKind::ElidedLabel: {
        auto* label = new ElidedLabel(container);
        label->setText(caption);
        return label;
    }
    case ControlKind::LinkLabel: {
        auto* label = new LinkLabel(container);
        label->setText(caption);
        return label;
    }
    case ControlKind::ComboBox: return new QComboBox(container);
    case ControlKind::FolderTree: return new FolderTree(container);
    case ControlKind::ListBox: {
        auto* list = new QListWidget(container);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        return list;
    }
    case ControlKind::ProgressBar: return new QProgressBar(container);
    case ControlKind::Button: return new QPushButton(caption, container);
    case ControlKind::ScrollArea: return new ScrollArea(container);
    case ControlKind::TextField: return new QLineEdit(container);
    }
    return nullptr;
}

} // namespace

void build_controls(QWidget* form, std::span<const ControlRow> controls)
{
    for (const ControlRow& row : controls) {
        QWidget* container = *row.container ? control<QWidget>(form, row.container) : form;
        QWidget* widget = create(row.kind, QString::fromLatin1(row.caption), container);
        widget->setObjectName(QLatin1String(row.name));
        widget->setGeometry(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height));
        switch (row.font) {
        case FontChoice::Inherit: break;
        case FontChoice::Bold: widget->setFont(bold_font()); break;
        case FontChoice::Dialog: widget->setFont(dialog_font()); break;
        case FontChoice::Link: {
            QFont font = dialog_font();
            font.setUnderline(true);
            widget->setFont(font);
            set_text_colour(widget, QColor(0, 0, 255));
            break;
        }
        }
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setAlignment(row.alignment | Qt::AlignTop);
    }
}

void set_text_colour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void set_background(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace cartonym::ui
