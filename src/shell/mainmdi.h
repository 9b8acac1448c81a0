#pragma once

#include <QMainWindow>
#include <QString>

#include <vector>

class QLabel;
class QMdiArea;
class QToolBar;
class QToolButton;

// "versión " major "." minor (two digits) and the revision as a letter (1 is "A").
QString TextoVersion(int mayor, int menor, int revision);

// Width of each placeholder so that the buttons after them sit against the right edge.
int AnchoHueco(int anchoVentana, const std::vector<int>& anchosBotones, int huecos, int margen);

// The program's one top-level window: the multiple-document frame and its toolbar.
class MainMDI : public QMainWindow {
    Q_OBJECT
public:
    explicit MainMDI(QWidget* padre = nullptr);

    QMdiArea* area() const { return m_area; }
    QToolBar* TBar = nullptr;
    QLabel* lbVersion = nullptr;

    // The toolbar button with this key ("sep1", "cfg", "fin", ...), or null.
    QWidget* Boton(const QString& clave) const;
    void TBar_ButtonClick(const QString& clave);

protected:
    void changeEvent(QEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;

private:
    void AjustarHuecos();
    void anadirBoton(const QString& clave, const QString& texto, const QString& icono);

    QMdiArea* m_area = nullptr;
    std::vector<std::pair<QString, QWidget*>> m_botones;
};
