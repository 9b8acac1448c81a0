#!/usr/bin/env python3
"""A stand-in for the tax agency's records service, for the tests.

HTTPS with a client certificate signed by the test authority; each submission is validated
against the agency's schemas with xmllint and answered as the control file (JSON, read at every
request) says:
  modo: "correcto" (default), "falta" (SOAP fault of the server), "faltacliente", "lento"
        (answers after `retardo` seconds), "nada" (closes without answering), "basura",
        "perdida" (registers the records, then closes without answering), "aleatorio" (one of
        the above at random, with `semilla`, and a correct answer half of the times)
  sesion: a new value starts a new shop (nothing registered yet)
  pausa: seconds between registering a submission's records and answering
  espera: TiempoEsperaEnvio of the answers (60 by default)
  errores / rechazar: NumSerieFactura accepted with errors / rejected (unless the record is a
        correction, Subsanacion S)
Registered records and every request go to the journal (JSON lines) named on the command line.
"""

import argparse
import http.server
import json
import os
import random
import re
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

SF = "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/SuministroInformacion.xsd"
LR = "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/SuministroLR.xsd"
SOAP = "http://schemas.xmlsoap.org/soap/envelope/"
RESP = "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/aeat/tike/cont/ws/RespuestaSuministro.xsd"


def esc(t):
    return t.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


class Agencia:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.registrados = {}  # (nif, numserie, fecha, tipo) -> state
        self.peticiones = 0
        self.rnd = None
        self.sesion = None

    def control(self):
        try:
            with open(self.args.control, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {}

    def diario(self, entrada):
        entrada["sesion"] = self.sesion
        with open(self.args.diario, "a", encoding="utf-8") as f:
            f.write(json.dumps(entrada, ensure_ascii=False) + "\n")

    def validar(self, cuerpo):
        if not self.args.esquemas:
            return None  # no schemas where the tests run: answered without validating
        with tempfile.NamedTemporaryFile("wb", suffix=".xml", delete=False) as f:
            f.write(cuerpo)
            ruta = f.name
        try:
            p = subprocess.run(["xmllint", "--noout", "--schema", os.path.join(self.args.esquemas, "SuministroLR.xsd"), ruta],
                               capture_output=True, text=True)
            return None if p.returncode == 0 else p.stderr.strip()[-800:]
        finally:
            os.unlink(ruta)


def falta(codigo, texto):
    return ("<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope xmlns:env=\"%s\"><env:Body><env:Fault>"
            "<faultcode>env:%s</faultcode><faultstring>%s</faultstring><detail><callstack>x</callstack></detail>"
            "</env:Fault></env:Body></env:Envelope>" % (SOAP, codigo, esc(texto))).encode()


class Manejador(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *a):
        pass

    def responder(self, codigo, cuerpo):
        self.send_response(codigo)
        self.send_header("Content-Type", "text/xml; charset=utf-8")
        self.send_header("Content-Length", str(len(cuerpo)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(cuerpo)
        self.close_connection = True

    def do_POST(self):
        ag = self.server.agencia
        datos = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        c = ag.control()
        modo = c.get("modo", "correcto")
        with ag.lock:
            ag.peticiones += 1
            # Each test is a session of its own: a new shop for the agency.
            if c.get("sesion") != ag.sesion:
                ag.sesion = c.get("sesion")
                ag.registrados = {}
                ag.rnd = None
            if ag.rnd is None:
                ag.rnd = random.Random(c.get("semilla", 1))
            if modo == "aleatorio":
                modo = ag.rnd.choice(["correcto", "correcto", "correcto", "correcto", "falta", "lento", "nada", "basura", "perdida"])
        cliente = self.connection.getpeercert()
        sujeto = dict(x[0] for x in cliente.get("subject", ())) if cliente else {}
        ag.diario({"peticion": ag.peticiones, "modo": modo, "cliente": sujeto.get("commonName", "")})

        if modo == "nada":
            self.close_connection = True
            self.connection.close()
            return
        if modo == "basura":
            return self.responder(200, b"<html><body>Mantenimiento</body></html>")
        if modo == "falta":
            return self.responder(500, falta("Server", "Error interno, reintente"))
        if modo == "faltacliente":
            return self.responder(500, falta("Client", "Codigo[4104].El NIF del titular en la cabecera no está identificado."))
        if modo == "lento":
            time.sleep(float(c.get("retardo", 5)))
            self.close_connection = True
            try:
                self.connection.close()
            except OSError:
                pass
            return

        # The body's one child, a document of its own (it declares its namespaces).
        m = re.search(rb"<soapenv:Body>(.*)</soapenv:Body>", datos, re.S)
        if not m:
            return self.responder(500, falta("Client", "No es un sobre SOAP"))
        documento = m.group(1).strip()
        error = ag.validar(documento)
        if error:
            ag.diario({"invalido": error})
            return self.responder(500, falta("Client", "Error de esquema: " + error))
        raiz = ET.fromstring(documento)
        incidencia = raiz.find("{%s}Cabecera/{%s}RemisionVoluntaria/{%s}Incidencia" % (LR, SF, SF))
        lineas = []
        with ag.lock:
            for rf in raiz.findall("{%s}RegistroFactura" % LR):
                alta = rf.find("{%s}RegistroAlta" % SF)
                reg = alta if alta is not None else rf.find("{%s}RegistroAnulacion" % SF)
                sufijo = "" if alta is not None else "Anulada"
                idf = reg.find("{%s}IDFactura" % SF)
                nif = idf.findtext("{%s}IDEmisorFactura%s" % (SF, sufijo))
                num = idf.findtext("{%s}NumSerieFactura%s" % (SF, sufijo))
                fecha = idf.findtext("{%s}FechaExpedicionFactura%s" % (SF, sufijo))
                subsanacion = reg.findtext("{%s}Subsanacion" % SF) or ""
                rechazo = reg.findtext("{%s}RechazoPrevio" % SF) or ""
                tipo = "Alta" if alta is not None else "Anulacion"
                clave = (nif, num, fecha, tipo)
                previo = reg.find("{%s}Encadenamiento/{%s}RegistroAnterior" % (SF, SF))
                linea = {"nif": nif, "num": num, "fecha": fecha, "tipo": tipo, "codigo": "", "texto": "", "duplicado": ""}
                if clave in ag.registrados and subsanacion != "S" and rechazo != "S":
                    linea["estado"] = "Incorrecto"
                    linea["codigo"] = "3000"
                    linea["texto"] = "Registro de facturación duplicado."
                    linea["duplicado"] = ag.registrados[clave]
                elif subsanacion != "S" and rechazo != "S" and num in c.get("rechazar", []):
                    linea["estado"] = "Incorrecto"
                    linea["codigo"] = "1100"
                    linea["texto"] = "Valor o tipo incorrecto del campo."
                elif subsanacion != "S" and num in c.get("errores", []):
                    linea["estado"] = "AceptadoConErrores"
                    linea["codigo"] = "1117"
                    linea["texto"] = "El NIF del destinatario no está identificado."
                else:
                    linea["estado"] = "Correcto"
                if linea["estado"] != "Incorrecto":
                    ag.registrados[clave] = "Correcta" if linea["estado"] == "Correcto" else "AceptadaConErrores"
                    ag.diario({"registrado": num, "tipo": tipo, "huella": reg.findtext("{%s}Huella" % SF),
                               "anterior": previo.findtext("{%s}Huella" % SF) if previo is not None else "",
                               "subsanacion": subsanacion, "rechazoprevio": rechazo,
                               "incidencia": incidencia.text if incidencia is not None else ""})
                lineas.append(linea)
        # Registered, the answer still to come: a sender killed now must not register them twice.
        time.sleep(float(c.get("pausa", 0)))
        if modo == "perdida":
            self.close_connection = True
            self.connection.close()
            return
        estados = {l["estado"] for l in lineas}
        global_ = "Correcto" if estados == {"Correcto"} else ("Incorrecto" if estados == {"Incorrecto"} else "ParcialmenteCorrecto")
        partes = ["<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope xmlns:env=\"%s\"><env:Header/><env:Body Id=\"Body\">"
                  "<tikR:RespuestaRegFactuSistemaFacturacion xmlns:tikR=\"%s\" xmlns:tik=\"%s\">" % (SOAP, RESP, SF)]
        if global_ != "Incorrecto":
            partes.append("<tikR:CSV>A-%014d</tikR:CSV>" % ag.peticiones)
        partes.append("<tikR:DatosPresentacion><tik:NIFPresentador>%s</tik:NIFPresentador><tik:TimestampPresentacion>"
                      "2027-01-04T10:15:00+01:00</tik:TimestampPresentacion></tikR:DatosPresentacion>" % esc(sujeto.get("serialNumber", "B12345674")))
        partes.append("<tikR:TiempoEsperaEnvio>%d</tikR:TiempoEsperaEnvio><tikR:EstadoEnvio>%s</tikR:EstadoEnvio>"
                      % (int(c.get("espera", 60)), global_))
        for l in lineas:
            partes.append("<tikR:RespuestaLinea><tikR:IDFactura><tik:IDEmisorFactura>%s</tik:IDEmisorFactura><tik:NumSerieFactura>%s"
                          "</tik:NumSerieFactura><tik:FechaExpedicionFactura>%s</tik:FechaExpedicionFactura></tikR:IDFactura>"
                          "<tikR:Operacion><tik:TipoOperacion>%s</tik:TipoOperacion></tikR:Operacion><tikR:EstadoRegistro>%s"
                          "</tikR:EstadoRegistro>" % (esc(l["nif"]), esc(l["num"]), l["fecha"], l["tipo"], l["estado"]))
            if l["codigo"]:
                partes.append("<tikR:CodigoErrorRegistro>%s</tikR:CodigoErrorRegistro><tikR:DescripcionErrorRegistro>%s"
                              "</tikR:DescripcionErrorRegistro>" % (l["codigo"], esc(l["texto"])))
            if l["duplicado"]:
                partes.append("<tikR:RegistroDuplicado><tik:IdPeticionRegistroDuplicado>1</tik:IdPeticionRegistroDuplicado>"
                              "<tik:EstadoRegistroDuplicado>%s</tik:EstadoRegistroDuplicado></tikR:RegistroDuplicado>" % l["duplicado"])
            partes.append("</tikR:RespuestaLinea>")
        partes.append("</tikR:RespuestaRegFactuSistemaFacturacion></env:Body></env:Envelope>")
        self.responder(200, "".join(partes).encode())


def main():
    a = argparse.ArgumentParser()
    a.add_argument("--cert", required=True)
    a.add_argument("--key", required=True)
    a.add_argument("--ca", required=True)
    a.add_argument("--esquemas", default="")
    a.add_argument("--control", required=True)
    a.add_argument("--diario", required=True)
    args = a.parse_args()
    contexto = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    contexto.load_cert_chain(args.cert, args.key)
    contexto.load_verify_locations(args.ca)
    contexto.verify_mode = ssl.CERT_REQUIRED
    servidor = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Manejador)
    servidor.daemon_threads = True
    servidor.socket = contexto.wrap_socket(servidor.socket, server_side=True)
    servidor.agencia = Agencia(args)
    print(servidor.server_address[1], flush=True)
    servidor.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
