#pragma once

#include "mascara.h"
#include "superficie.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class DocumentoPlantilla;
class HojaPlantilla;
class ImpresorOficina;
class QTemporaryDir;

// Prints documents through an editable mask file. The document loads its mask, prints
// numbered sections with the values that replace their placeholders, and closes the engine.
// The mask decides the output: drawing on the current printer (or a PDF file), or filling a
// spreadsheet or word-processor template that the office suite prints.
class PrinTxt : public QObject, public MotorMascaras {
    Q_OBJECT
public:
    enum class Modo { Impresora = 0, HojaCalculo = 1, Procesador = 2 };

    // Printer mode draws on the program's current printer.
    explicit PrinTxt(QObject* parent = nullptr);
    // Printer mode draws on `superficie` (tests, previews).
    explicit PrinTxt(std::unique_ptr<SuperficieImpresion> superficie, QObject* parent = nullptr);
    ~PrinTxt() override;

    // Sends the output to a PDF file instead of the printer (call before printing). Templates
    // printed by the office suite go to the same file, then "-2", "-3"... for later pages.
    void ImprimirEnArchivo(const QString& archivoPdf);
    // Replaces the office suite (tests); by default LibreOffice headless.
    void FijarImpresorOficina(std::unique_ptr<ImpresorOficina> impresor);

    // Reads the mask file and fixes the output mode; false (and nothing changed) when the file
    // cannot be read.
    bool CargaMascaras(const QString& archivo, const QString& prefijo = {}) override;
    // Prints one section; `pagina` goes up by one at every page started. An index outside the
    // loaded sections does nothing.
    void Imprimir(qint16 seccion, int& pagina, const ValoresMascara& valores) override;
    void ResetContador() override { m_contador = 0; }
    void TituloTrabajo(const QString& titulo) override { m_titulo = titulo; }
    QStringList PartirTexto(qint16 seccion, const QString& marca, const QString& texto) override;
    // Ends the run: the printer job is sent, or the open template printed.
    void Cerrar() override;
    // The documents' way to hear SaltoPagina without a Qt connection of their own.
    void AlSaltoPagina(std::function<void(bool& cancelar)> manejador) override
    {
        connect(this, &PrinTxt::SaltoPagina, this, [manejador](bool& cancelar) { manejador(cancelar); }, Qt::DirectConnection);
    }

    Modo ModoSalida() const { return m_modo; }
    const QString& Plantilla() const { return m_plantilla; }
    const QStringList& Secciones() const { return m_secciones; }
    qint16 Contador() const { return m_contador; }
    // The template being filled, in its modes; null otherwise.
    HojaPlantilla* Hoja() const { return m_hoja.get(); }
    DocumentoPlantilla* Documento() const { return m_documento.get(); }
    // The drawing surface once printer mode has drawn; null before.
    SuperficieImpresion* Superficie() const { return m_superficie.get(); }

signals:
    // Raised before every page break; a handler that sets `cancelar` keeps the page.
    void SaltoPagina(bool& cancelar);

private:
    void ElegirModo(const QString& especificacion, const QString& carpeta);
    bool AbrirPlantilla(QString* error);
    void VolverAImpresora(const QString& aviso);
    SuperficieImpresion* ObtenerSuperficie();
    bool SaltoImpresora();
    void RellenarHoja(const QString& texto, int& pagina);
    void RellenarDocumento(const QString& texto, int& pagina);
    void SaltoPlantilla(int& pagina);
    void ImprimirPlantilla();
    // False, once and for all, when a mask would make far more pages than its lines could fill.
    bool PaginaPermitida();

    Modo m_modo = Modo::Impresora;
    QString m_plantilla;
    QStringList m_secciones;
    qint16 m_contador = 0;
    bool m_cerrado = false;

    std::unique_ptr<SuperficieImpresion> m_superficie;
    bool m_superficiePropia = true;
    bool m_avisoImpresora = false;
    QString m_archivoPdf;
    QString m_titulo;
    InterpreteImpresora m_interprete;
    // Page counter and cancel flag of the Imprimir call being run.
    int* m_pagina = nullptr;
    bool* m_cancelar = nullptr;

    std::unique_ptr<ImpresorOficina> m_oficina;
    std::unique_ptr<QTemporaryDir> m_temporal;
    QString m_rutaPlantilla;   // template in an open format (converted when it was .xls/.doc)
    QString m_nombreHoja;
    std::unique_ptr<HojaPlantilla> m_hoja;
    std::unique_ptr<DocumentoPlantilla> m_documento;
    int m_copiasImpresas = 0;
    int m_llamadas = 0;
    int m_paginasNuevas = 0;
    bool m_demasiadasPaginas = false;
};

// How the print engine tells the user about a failure: a message box by default. Tests and
// batch runs may catch the texts instead. Returns the previous handler.
using AvisoImpresion = std::function<void(const QString&)>;
AvisoImpresion FijarAvisoImpresion(AvisoImpresion aviso);
void Avisar(const QString& texto);
