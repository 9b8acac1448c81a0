#pragma once

#include <QImage>
#include <QMainWindow>

#include <functional>
#include <memory>

class EjecucionListado;
class QAction;
class QLabel;
class QPrinter;
class QProgressBar;
class QScrollArea;
class QSpinBox;

// The print preview of a listing: one page at a time, shown as soon as it is laid out while
// the rest of the rows are still being read. From it the user prints on the program's current
// printer or saves a PDF, once the listing is complete. Deletes itself when closed.
class VistaPreviaListado : public QMainWindow {
    Q_OBJECT
public:
    VistaPreviaListado(std::unique_ptr<EjecucionListado> ejecucion, QWidget* padre = nullptr);
    ~VistaPreviaListado() override;

    // Starts reading the rows (Listado::Accion does it).
    void Empezar();

    EjecucionListado& Ejecucion() const { return *m_ej; }
    int PaginaActual() const { return m_pagina; }
    void IrAPagina(int pagina);

    // On the program's current printer; false (after telling the user) when the listing is not
    // complete or the printer cannot be opened.
    bool Imprimir();
    bool GuardarPdf(const QString& ruta);

    // The system's print dialog, used when no printer is the default; tests replace it.
    static inline std::function<bool(QPrinter&, QWidget*)> dialogoImpresion;

signals:
    // The first page has been drawn on screen.
    void PrimeraPagina();

protected:
    void closeEvent(QCloseEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;

private:
    void Avance();
    void Terminado(const QString& error);
    void Actualizar();
    void Dibujar();
    void PedirPdf();
    void Zoom(double factor);
    void AjustarAncho();
    void PaginaCompleta();
    bool Pintar(QPrinter& impresora, const QString& destino);
    double PxPorMm() const;

    std::unique_ptr<EjecucionListado> m_ej;
    QScrollArea* m_area = nullptr;
    QLabel* m_hoja = nullptr;
    QSpinBox* m_numero = nullptr;
    QLabel* m_de = nullptr;
    QLabel* m_estado = nullptr;
    QProgressBar* m_progreso = nullptr;
    QAction* m_imprimir = nullptr;
    QAction* m_pdf = nullptr;
    QAction* m_primera = nullptr;
    QAction* m_anterior = nullptr;
    QAction* m_siguiente = nullptr;
    QAction* m_ultima = nullptr;

    int m_pagina = 1;
    double m_zoom = 0;   // 0: fit the page's width to the window
    bool m_ajustarPagina = false;
    int m_dibujada = 0;  // page on screen, and whether it was drawn complete
    bool m_dibujadaCompleta = false;
    bool m_primeraAvisada = false;
};
