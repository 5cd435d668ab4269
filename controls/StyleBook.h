#pragma once

// TStyleBook gives a window its look: the drawn look of its sliders and
// check boxes (TControlStyle), and named style elements that single
// controls ask for by name (a list box that draws no background, a bottom
// tool bar). Style texts may name colours as @Name@; they take the colour
// given by SetColor when applied, and the drawn controls take the same
// colours, so that a window's scheme is defined in one place.

#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace varnholt {

class TControlStyle;

class TStyleBook : public QObject {
  Q_OBJECT

 public:
  explicit TStyleBook(QObject* parent = nullptr);

  ~TStyleBook() override;
  // The sliders and check boxes are drawn with this check mark (an SVG
  // file); without it ApplyTo leaves them to the application's style.
  void SetCheckMark(const QString& path);
  void SetElement(const QString& name, const QString& styleSheet);
  bool HasElement(const QString& name) const { return elements_.contains(name); }
  void SetColor(const QString& name, const QColor& color);

  // Draws window's sliders and check boxes in the book's colours from now on.
  void ApplyTo(QWidget* window);
  // Gives control the named element's style; an unknown name changes nothing.
  void ApplyElement(QWidget* control, const QString& name) const;

 private:
  QString Resolved(QString styleSheet) const;

  TControlStyle* controls_ = nullptr;
  QHash<QString, QColor> colors_;
  QHash<QString, QString> elements_;
};

}  // namespace varnholt
