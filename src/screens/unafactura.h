#pragma once

#include "editordocumento.h"

#include <memory>
#include <optional>

class Factura;
class QLineEdit;
class Rejilla;

// The window in which the user writes, changes and settles one sales invoice. It opens as a
// child window of the main window's document area, tells the invoice browser when it saves
// and closes, and deletes itself when it closes.
class UnaFactura : public EditorDocumento {
    Q_OBJECT

public:
    // Invoice `numero` of `serie`, or a new one of that series without a number. Null (no
    // window) when the invoice cannot be read.
    static UnaFactura* Editar(std::optional<long> numero, qint16 serie = 0);

    ~UnaFactura() override;

    const Factura& Documento() const { return *m_factura; }
    std::optional<qint16> SerieEditada() const override { return m_serieEditada; }

protected:
    void DocumentoCargado() override;
    int NumeroLineas() const override;
    QString Comentario(int linea) const override;
    void FijarComentario(int linea, const QString& texto) override;
    bool NuevaLinea() override;
    bool EliminarLinea(int linea) override;
    QStringList TextosLinea(int linea) const override;
    void FiltrarCelda(int linea, int col, int& tecla) const override;
    QString FueraDeLimites(int linea, int col, const QString& texto) const override;
    void CeldaEditada(int linea, int col, const QString& texto) override;
    void PintarTotales() override;

    std::optional<qint32> NumeroDocumento() const override;
    void FijarNumeroDocumento(qint32 numero) override;
    QDate FechaDocumento() const override;
    void FijarFechaDocumento(const QDate& fecha) override;
    std::optional<qint32> ClienteDocumento() const override;
    bool FijarCliente(qint32 codigo) override;
    void ClienteElegido() override;
    float DescuentoDocumento() const override;
    float DesctoPPDocumento() const override;
    void DescuentoEditado(const QString& texto) override;
    void DesctoPPEditado(const QString& texto) override;

    bool GuardarDocumento() override;
    QString MotivoFallo() const override;
    bool RecargarDocumento() override;
    void TrasGuardar() override {}
    // Saved first, so that a printed invoice always exists with the number it shows.
    bool GuardarAntesDeImprimir() const override { return true; }
    bool ImprimirDocumento(MotorMascaras& motor, const QString& carpeta) override;
    QString MascaraImpresion() const override;
    NavegadorDocumentos* Navegador() const override;
    NavegadorDocumentos* Padre() const override;

private:
    UnaFactura(std::unique_ptr<Factura> factura, long numeroEditado);
    void AlEditarPagado(const QString& texto);
    void Liquidar();

    std::unique_ptr<Factura> m_factura;
    qint16 m_serieEditada = 0;
    Rejilla* m_grdResu = nullptr;
    QLineEdit* m_txPagado = nullptr;
};
