#pragma once

// The text formats the control speaks: the modem's numeric answers, the
// initialisation list property and the serial line settings.

#include <QString>
#include <QStringList>

#include <optional>

namespace Vantel {

enum class ClaseRespuesta {
    Ok,
    Connect,
    Ring,
    NoCarrier,
    Error,
    NoTono,
    Ocupado,
    NoRespuesta,
    Desconocida,
};

// One numeric result code: one or two ASCII digits, optionally "LC", then CR,
// and nothing else.
ClaseRespuesta ClasificarRespuesta(const QString &respuesta);

// The list as the pairs it describes. Pieces alternate command and expected
// response; a command left without one gets an empty response.
struct ListaInicializacion {
    QStringList comandos;
    QStringList respuestas;
};
ListaInicializacion LeerInicializacion(const QString &texto);
QString EscribirInicializacion(const ListaInicializacion &lista);

enum class Paridad { Ninguna, Par, Impar, Marca, Espacio };
enum class BitsParada { Uno, UnoYMedio, Dos };

struct ParametrosLinea {
    qint32 velocidad = 9600;
    Paridad paridad = Paridad::Ninguna;
    int bitsDatos = 8;
    BitsParada bitsParada = BitsParada::Uno;
};
// "9600,N,8,1" and the like; nothing when any field is out of range.
std::optional<ParametrosLinea> LeerSettings(const QString &settings);

// The speed field alone, as the modem dialogue uses it.
QString VelocidadDe(const QString &settings);

} // namespace Vantel
