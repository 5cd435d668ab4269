#include "camera/platform/PropertyFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "camera/platform/PropertyFrameFormat.h"

namespace varnholt::platform {
namespace {

int ToInt(std::int64_t value) {
  return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

// Devices step their values from the minimum; a slider dragged between two
// steps would otherwise write values the device never offers.
std::int64_t Snap(const ControlInfo& info, std::int64_t value) {
  if (info.step > 1) {
    const double steps =
        std::round(static_cast<double>(value - info.minimum) / static_cast<double>(info.step));
    value = info.minimum + static_cast<std::int64_t>(steps) * info.step;
  }
  return std::clamp(value, info.minimum, std::max(info.minimum, info.maximum));
}

QString Sanitized(const std::string& text) {
  QString out;
  for (const char c : text) {
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (keep)
      out += QChar::fromLatin1(c);
    else if (!out.isEmpty() && !out.endsWith('_'))
      out += '_';
  }
  while (out.endsWith('_'))
    out.chop(1);
  return out;
}

QString GroupTitle(const std::string& group) {
  return group.empty() ? QStringLiteral("Controls") : QString::fromStdString(group);
}

// A page that scrolls when a device has more controls than fit.
QScrollArea* MakePage(const QString& objectName, QWidget* body) {
  auto* page = new QScrollArea;
  page->setObjectName(objectName);
  page->setWidgetResizable(true);
  page->setFrameShape(QFrame::NoFrame);
  page->setWidget(body);
  return page;
}

}  // namespace

QString ControlObjectName(const std::string& controlName) {
  return QStringLiteral("Control_") + Sanitized(controlName);
}

struct PropertyFrame::Row {
  ControlInfo info;
  QString objectName;
  QLabel* label = nullptr;
  QSlider* slider = nullptr;
  QSpinBox* spin = nullptr;
  QCheckBox* check = nullptr;
  QComboBox* combo = nullptr;
  QPushButton* button = nullptr;

  std::vector<QWidget*> Widgets() const {
    std::vector<QWidget*> widgets;
    for (QWidget* w : std::initializer_list<QWidget*>{label, slider, spin, check, combo, button})
      if (w)
        widgets.push_back(w);
    return widgets;
  }

  // Sets the widgets without writing back.
  void Show(std::int64_t value) {
    const std::vector<QWidget*> widgets = Widgets();
    std::vector<std::unique_ptr<QSignalBlocker>> blockers;
    for (QWidget* w : widgets)
      blockers.push_back(std::make_unique<QSignalBlocker>(w));
    if (slider)
      slider->setValue(ToInt(value));
    if (spin)
      spin->setValue(ToInt(value));
    if (check)
      check->setChecked(value != 0);
    if (combo)
      combo->setCurrentIndex(combo->findData(QVariant::fromValue<qlonglong>(value)));
  }

  void SetUsable(bool usable, const QString& why) {
    for (QWidget* w : Widgets()) {
      w->setEnabled(usable);
      w->setToolTip(why);
    }
  }
};

PropertyFrame::PropertyFrame(Platform& platform, std::shared_ptr<IControlList> controls,
                             std::shared_ptr<IAMStreamConfig> stream, QWidget* parent)
    : QDialog(parent),
      platform_(platform),
      controls_(std::move(controls)),
      stream_(std::move(stream)) {
  setObjectName(QStringLiteral("PropertyFrame"));
  pages_ = new QTabWidget;
  pages_->setObjectName(QStringLiteral("Pages"));
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("StatusLabel"));
  status_->setTextFormat(Qt::PlainText);  // errors quote the driver's names
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->hide();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->setObjectName(QStringLiteral("Buttons"));
  QPushButton* close = buttons->button(QDialogButtonBox::Close);
  close->setObjectName(QStringLiteral("CloseButton"));
  // Enter in a spin box must not press Close: no button may become default.
  close->setAutoDefault(false);
  close->setDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addWidget(status_);
  layout->addWidget(buttons);
  setMinimumWidth(460);
}

PropertyFrame::~PropertyFrame() = default;

HResult PropertyFrame::Build() {
  if (controls_)
    if (const HResult code = BuildControlPages(); Failed(code))
      return code;
  if (stream_)
    if (const HResult code = BuildFormatPage(); Failed(code))
      return code;
  FitPages();
  return hr::Ok;
}

void PropertyFrame::FitPages() {
  // One spin box width for all, so that the sliders end in one column.
  int spinWidth = 0;
  for (const auto& row : rows_)
    if (row->spin)
      spinWidth = std::max(spinWidth, row->spin->sizeHint().width());
  for (const auto& row : rows_)
    if (row->spin)
      row->spin->setMinimumWidth(spinWidth);
  // Every control in view without scrolling, where the screen has room.
  int height = 0;
  for (int i = 0; i < pages_->count(); ++i)
    if (const auto* page = qobject_cast<QScrollArea*>(pages_->widget(i)))
      height = std::max(height, page->widget()->sizeHint().height());
  const QScreen* screen = this->screen();
  const int room = screen ? screen->availableGeometry().height() * 2 / 3 : 600;
  for (int i = 0; i < pages_->count(); ++i)
    pages_->widget(i)->setMinimumHeight(std::min(height, room));
}

HResult PropertyFrame::BuildControlPages() {
  std::vector<ControlInfo> list;
  if (const HResult code = controls_->GetControls(list); Failed(code))
    return code;

  std::vector<std::pair<std::string, QFormLayout*>> groups;  // in the device's order
  QSet<QString> usedNames;
  for (const ControlInfo& info : list) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& entry) { return entry.first == info.group; });
    if (group == groups.end()) {
      auto* body = new QWidget;
      auto* form = new QFormLayout(body);
      form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
      pages_->addTab(MakePage("Page_" + Sanitized(GroupTitle(info.group).toStdString()), body),
                     GroupTitle(info.group));
      groups.emplace_back(info.group, form);
      group = std::prev(groups.end());
    }

    auto row = std::make_unique<Row>();
    row->info = info;
    row->objectName = ControlObjectName(info.name);
    for (int n = 2; usedNames.contains(row->objectName); ++n)
      row->objectName = ControlObjectName(info.name) + "_" + QString::number(n);
    usedNames.insert(row->objectName);

    QWidget* editor = MakeEditor(*row);
    if (info.type == ControlInfo::Type::Button) {
      group->second->addRow(QString(), editor);
    } else {
      row->label = new QLabel(QString::fromStdString(info.name));
      row->label->setTextFormat(Qt::PlainText);  // the driver's name, never markup
      row->label->setBuddy(editor->focusProxy() ? editor->focusProxy() : editor);
      group->second->addRow(row->label, editor);
    }
    rows_.push_back(std::move(row));
  }
  if (list.empty()) {
    auto* none = new QLabel(tr("The device lists no controls."));
    none->setAlignment(Qt::AlignCenter);
    pages_->addTab(MakePage(QStringLiteral("Page_Controls"), none), tr("Controls"));
  }
  RefreshControls();
  return hr::Ok;
}

QWidget* PropertyFrame::MakeEditor(Row& row) {
  const ControlInfo& info = row.info;
  const QString name = QString::fromStdString(info.name);
  Row* r = &row;
  switch (info.type) {
    case ControlInfo::Type::Integer: {
      auto* box = new QWidget;
      auto* layout = new QHBoxLayout(box);
      layout->setContentsMargins(0, 0, 0, 0);
      row.slider = new QSlider(Qt::Horizontal);
      row.spin = new QSpinBox;
      row.slider->setObjectName(row.objectName);
      row.spin->setObjectName(row.objectName + "_Value");
      const int step = std::max(1, ToInt(info.step));
      row.slider->setRange(ToInt(info.minimum), ToInt(info.maximum));
      row.slider->setSingleStep(step);
      row.slider->setPageStep(
          std::max(step, ToInt((info.maximum - info.minimum) / 10 / step * step)));
      row.spin->setRange(ToInt(info.minimum), ToInt(info.maximum));
      row.spin->setSingleStep(step);
      // Only finished entries are written, not every digit typed.
      row.spin->setKeyboardTracking(false);
      row.spin->setAccessibleName(name);
      row.slider->setAccessibleName(name);
      layout->addWidget(row.slider, 1);
      layout->addWidget(row.spin);
      box->setFocusProxy(row.slider);
      connect(row.slider, &QSlider::valueChanged, this,
              [this, r](int value) { Write(*r, Snap(r->info, value)); });
      connect(row.spin, &QSpinBox::valueChanged, this,
              [this, r](int value) { Write(*r, Snap(r->info, value)); });
      return box;
    }
    case ControlInfo::Type::Boolean:
      row.check = new QCheckBox;
      row.check->setObjectName(row.objectName);
      row.check->setAccessibleName(name);
      connect(row.check, &QCheckBox::toggled, this,
              [this, r](bool checked) { Write(*r, checked ? 1 : 0); });
      return row.check;
    case ControlInfo::Type::Menu:
      row.combo = new QComboBox;
      row.combo->setObjectName(row.objectName);
      row.combo->setAccessibleName(name);
      for (const auto& [value, label] : info.menu)
        row.combo->addItem(QString::fromStdString(label), QVariant::fromValue<qlonglong>(value));
      connect(row.combo, &QComboBox::currentIndexChanged, this, [this, r](int index) {
        if (index >= 0)
          Write(*r, r->combo->itemData(index).toLongLong());
      });
      return row.combo;
    case ControlInfo::Type::Button:
      row.button = new QPushButton(name);
      row.button->setObjectName(row.objectName);
      row.button->setAutoDefault(false);
      // A button control acts on any write; the value is not kept.
      connect(row.button, &QPushButton::clicked, this, [this, r] { Write(*r, 1); });
      return row.button;
  }
  return new QWidget;
}

void PropertyFrame::Write(Row& row, std::int64_t value) {
  ShowOutcome(row.info.name, controls_->SetValue(row.info.id, value));
  // A write may switch other controls on or off (an automatic mode and its
  // value), and a refused one must show the device's value again.
  RefreshControls();
}

void PropertyFrame::ShowOutcome(const std::string& what, HResult code) {
  if (Succeeded(code)) {
    status_->clear();
    status_->hide();
    return;
  }
  status_->setText(QString::fromStdString(what + ": " + ErrorMessage(platform_, code)));
  status_->show();
}

void PropertyFrame::RefreshControls() {
  std::vector<ControlInfo> now;
  const HResult listed = controls_->GetControls(now);
  for (const auto& row : rows_) {
    if (Succeeded(listed)) {
      const auto it = std::find_if(now.begin(), now.end(),
                                   [&](const ControlInfo& c) { return c.id == row->info.id; });
      if (it == now.end()) {
        row->SetUsable(false, tr("The device no longer lists this control."));
        continue;
      }
      row->info.readOnly = it->readOnly;
      row->info.inactive = it->inactive;
    }
    QString why;
    if (row->info.type != ControlInfo::Type::Button) {
      std::int64_t value = 0;
      if (const HResult code = controls_->GetValue(row->info.id, value); Failed(code))
        why = QString::fromStdString(ErrorMessage(platform_, code));
      else
        row->Show(value);
    }
    if (why.isEmpty() && row->info.readOnly)
      why = tr("Read-only");
    else if (why.isEmpty() && row->info.inactive)
      why = tr("Inactive: the device sets it at the moment");
    row->SetUsable(why.isEmpty(), why);
  }
}

HResult PropertyFrame::BuildFormatPage() {
  std::int32_t count = 0;
  if (const HResult code = stream_->GetNumberOfCapabilities(count); Failed(code))
    return code;
  formatList_ = new QListWidget;
  formatList_->setObjectName(QStringLiteral("FormatList"));
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<AmMediaType> mediaType;
    if (stream_->GetStreamCaps(i, mediaType) != hr::Ok || !mediaType)
      continue;
    formatList_->addItem(QString::fromStdString(FormatText(*mediaType)));
    formats_.push_back(std::move(mediaType));
  }
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->addWidget(formatList_);
  auto* page = MakePage(QStringLiteral("Page_Format"), body);
  pages_->addTab(page, tr("Format"));
  connect(formatList_, &QListWidget::currentRowChanged, this,
          [this](int index) { ChooseFormat(index); });
  RefreshFormat();
  return hr::Ok;
}

void PropertyFrame::ChooseFormat(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= formats_.size())
    return;
  ShowOutcome(tr("Format").toStdString(), stream_->SetFormat(*formats_[index]));
  RefreshFormat();
}

void PropertyFrame::RefreshFormat() {
  const QSignalBlocker blocker(formatList_);
  std::unique_ptr<AmMediaType> current;
  int selected = -1;
  if (stream_->GetFormat(current) == hr::Ok && current)
    for (std::size_t i = 0; i < formats_.size() && selected < 0; ++i)
      if (SameFormat(*formats_[i], *current))
        selected = static_cast<int>(i);
  formatList_->setCurrentRow(selected);
  if (selected < 0)
    formatList_->clearSelection();
}

HResult ShowGenericPropertyFrame(Platform& platform, WindowHandle owner, int x, int y,
                                 const std::string& caption,
                                 const std::vector<std::shared_ptr<Unknown>>& objects,
                                 const std::vector<Guid>& pages) {
  if (objects.empty() || pages.empty())
    return hr::InvalidArg;
  if (std::find(objects.begin(), objects.end(), nullptr) != objects.end())
    return hr::Pointer;

  std::shared_ptr<IControlList> controls;
  std::shared_ptr<IAMStreamConfig> stream;
  for (const Guid& page : pages) {
    if (page == guids::PageDeviceControls) {
      for (auto it = objects.begin(); !controls && it != objects.end(); ++it)
        controls = Query<IControlList>(*it);
      if (!controls)
        return hr::NoInterface;
    } else if (page == guids::PageStreamFormat) {
      // An object that cannot say (an unplugged filter) answers its own code.
      HResult missing = hr::NoInterface;
      for (auto it = objects.begin(); !stream && it != objects.end(); ++it)
        if (const HResult code = FindStreamConfig(*it, stream);
            Failed(code) && missing == hr::NoInterface)
          missing = code;
      if (!stream)
        return missing;
    } else {
      return hr::ClassNotRegistered;
    }
  }

  // Widgets need a QApplication, and its thread.
  const auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!app || QThread::currentThread() != app->thread())
    return hr::Unexpected;

  QWidget* ownerWidget = owner ? QWidget::find(static_cast<WId>(owner)) : nullptr;
  PropertyFrame frame(platform, std::move(controls), std::move(stream),
                      ownerWidget ? ownerWidget->window() : nullptr);
  if (const HResult code = frame.Build(); Failed(code))
    return code;
  frame.setWindowTitle(QString::fromStdString(caption));
  frame.adjustSize();
  QPoint place = ownerWidget ? ownerWidget->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
  // Opened over a window near the screen's edge, the frame still shows whole.
  if (const QScreen* screen = ownerWidget ? ownerWidget->screen() : nullptr) {
    const QRect area = screen->availableGeometry();
    place.setX(std::max(area.left(), std::min(place.x(), area.right() + 1 - frame.width())));
    place.setY(std::max(area.top(), std::min(place.y(), area.bottom() + 1 - frame.height())));
  }
  frame.move(place);
  frame.exec();
  return hr::Ok;
}

}  // namespace varnholt::platform
