#pragma once

#include <QMessageBox>
#include <QString>

class QAbstractItemView;
class QLineEdit;
class QWidget;

// Window positions are kept in twips under the window's object name.
void RestaurarVentana(QWidget* ventana);
void GuardarVentana(QWidget* ventana);
// Brings a child window that lies partly outside its MDI area inside it (shrinking it to the
// area, never below what its controls need); a window that lies inside stays where it is.
void EncajarEnArea(QWidget* marco);

// A message box over a grid that gives the grid its focus back on its rows afterwards. A
// question that could duplicate or lose work names its safe answer as `porDefecto`, the one Enter gives.
QMessageBox::StandardButton MensajeSobreRejilla(QAbstractItemView* rejilla, const QString& texto,
                                                QMessageBox::StandardButtons botones, QMessageBox::Icon icono,
                                                const QString& titulo,
                                                QMessageBox::StandardButton porDefecto = QMessageBox::NoButton);

// Moves `control` so that its right edge is at x; x becomes its new left edge.
void AlinearALaDerecha(QWidget* control, int& x);

// The system's folder dialog; empty text when the user cancels.
QString ElegirCarpeta(QWidget* propietario, const QString& titulo, const QString& inicial);

void SeleccionarTexto(QLineEdit* campo);

// Shows a child window in AreaVentanas() (on its own when there is no area), deleted when it
// closes, and brings it to the front; a window already shown is only brought to the front.
void MostrarVentana(QWidget* ventana);
// Closes a child window with its frame; false when the window refused to close.
bool CerrarVentana(QWidget* ventana);
