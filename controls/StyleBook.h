#pragma once

// TStyleBook gives a window its look: a style sheet for the window as a
// whole and named style elements that single controls ask for by name
// (a list box that draws no background, a bottom tool bar). Style texts
// may name colours as @Name@; they take the colour given by SetColor when
// applied, so that a window's scheme is defined in one place.

#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace varnholt {

class TStyleBook : public QObject {
  Q_OBJECT

 public:
  explicit TStyleBook(QObject* parent = nullptr);

  void SetWindowStyle(const QString& styleSheet) { window_ = styleSheet; }
  void SetElement(const QString& name, const QString& styleSheet);
  bool HasElement(const QString& name) const { return elements_.contains(name); }
  void SetColor(const QString& name, const QColor& color);

  // Gives window the book's window style.
  void ApplyTo(QWidget* window) const;
  // Gives control the named element's style; an unknown name changes nothing.
  void ApplyElement(QWidget* control, const QString& name) const;

 private:
  QString Resolved(QString styleSheet) const;

  QString window_;
  QHash<QString, QColor> colors_;
  QHash<QString, QString> elements_;
};

}  // namespace varnholt
