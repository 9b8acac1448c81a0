#pragma once

#include <QString>

// The office suite that converts old templates and prints filled ones. An interface so that
// the print engine can be exercised without the suite installed.
class ImpresorOficina {
public:
    virtual ~ImpresorOficina() = default;

    virtual bool Disponible() const = 0;
    // Converts `archivo` (.xls, .doc) into `formato` ("ods", "odt") inside `carpeta`;
    // the new file's path, or empty with `error` set.
    virtual QString Convertir(const QString& archivo, const QString& formato, const QString& carpeta,
                              QString* error) = 0;
    // Prints `archivo` on `impresora` (empty: the default printer) or, when `pdf` is given,
    // into that PDF file. False with `error` set when the suite failed.
    virtual bool Imprimir(const QString& archivo, const QString& impresora, const QString& pdf,
                          QString* error) = 0;
};

// LibreOffice run headless, each time with a private profile (so that a suite the user has
// open is not disturbed) and a time limit (so that printing cannot hang the program).
class LibreOfficeHeadless : public ImpresorOficina {
public:
    // `programa` empty: looked up on the PATH as soffice or libreoffice.
    explicit LibreOfficeHeadless(QString programa = {}, int segundosMaximos = 120);

    bool Disponible() const override { return !m_programa.isEmpty(); }
    QString Convertir(const QString& archivo, const QString& formato, const QString& carpeta,
                      QString* error) override;
    bool Imprimir(const QString& archivo, const QString& impresora, const QString& pdf,
                  QString* error) override;

    const QString& Programa() const { return m_programa; }

private:
    bool Ejecutar(const QStringList& argumentos, QString* error);
    QString m_programa;
    int m_segundos;
};
