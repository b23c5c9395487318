#!/usr/bin/env python3
"""Writes the files of the demo configuration folder vr7_12/CONFIG that are not plain UTF-8 text:
the binary definition file main.def, the three system files (Windows-1251, as the device's
configuration software writes them) and the gateway settings file duxgate.cfg (Windows-1251,
CR LF). main.xmc and ../calcbank.xml are written by hand.

The output is checked in; run this script again after changing it:  python3 examples/make_demo.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CONFIG = os.path.join(HERE, "vr7_12", "CONFIG")


def cp1251(text):
    return text.encode("cp1251")


# --- main.def ------------------------------------------------------------------------------------
# One byte not interpreted by the reader (a format version), then records
#   N, name[N], 0x00, M, value[M], 0x02     (1 <= N, M <= 254)
# and the end marker 0x10.
DEF_RECORDS = [
    ("device::type", "VR-7"),
    ("device::number", "12"),
    ("config::object", "ЦТП-3, ул. Заводская, 14"),
    # main.xmc still names the old file of system 2; this record takes its place.
    ("syslink::sys2", "gvs"),
    # Slot 4 is declared in main.xmc but not fitted: not a system.
    ("syslink::sys4", "dummy"),
    ("config::saved", "2019-03-14 10:22"),
]


def def_record(name, value):
    n, v = cp1251(name), cp1251(value)
    assert 1 <= len(n) <= 254 and 1 <= len(v) <= 254
    return bytes([len(n)]) + n + b"\x00" + bytes([len(v)]) + v + b"\x02"


def main_def():
    return b"\x01" + b"".join(def_record(n, v) for n, v in DEF_RECORDS) + b"\x10"


# --- system files --------------------------------------------------------------------------------
# (file base name, display name, [(calc name as written, description)])
SYSTEMS = [
    ("kotel", "Котельная", [
        ("T1", "Температура в подающем трубопроводе"),
        ("T2", "Температура в обратном трубопроводе"),
        ("p1", "Давление в подающем трубопроводе"),
        ("p2", "Давление в обратном трубопроводе"),
        ("g1", "Массовый расход в подающем трубопроводе"),
        ("g2", "Массовый расход в обратном трубопроводе"),
        ("dt12", "Разность температур"),
        ("q1", "Тепловая мощность"),
        ("w1", "Тепловая энергия"),
        ("tw", "Время работы"),
        ("terr", "Время работы с ошибкой"),
        ("dtmin", "Минимальная разность температур"),  # not in the catalogue
    ]),
    ("gvs", "Горячее водоснабжение", [
        ("t1", "Температура горячей воды"),
        ("t2", "Температура циркуляции"),
        ("ТХВ", "Температура холодной воды"),
        ("v1", "Объёмный расход горячей воды"),
        ("v2", "Объёмный расход циркуляции"),
        ("m1", "Масса горячей воды"),
        ("q1", "Тепловая мощность ГВС"),
        ("w1", "Тепловая энергия ГВС"),
        ("gvsmode", "Режим ГВС"),  # not in the catalogue (and longer than 6 characters)
    ]),
    ("vent", "Приточная вентиляция", [
        ("t1", "Температура подачи калорифера"),
        ("t2", "Температура обратки калорифера"),
        ("t3", "Температура приточного воздуха"),
        ("tnv", "Температура наружного воздуха"),
        ("g1", "Массовый расход калорифера"),
        ("q1", "Тепловая мощность калорифера"),
        ("w1", "Тепловая энергия калорифера"),
        ("alarm", "Авария вентилятора"),  # in the catalogue without LonVar: not published
    ]),
]


def xms(display, calcs):
    lines = ['<?xml version="1.0" encoding="windows-1251"?>',
             '<system name="%s" version="3.2">' % display,
             '  <!-- расчётные переменные -->']
    for index, (name, desc) in enumerate(calcs, 1):
        lines.append('  <calc name="%s" index="%d" desc="%s"/>' % (name, index, desc))
    lines.append('  <const name="k1" value="1.0" desc="Поправочный коэффициент"/>')
    lines.append('</system>')
    return cp1251("\r\n".join(lines) + "\r\n")


# --- duxgate.cfg ---------------------------------------------------------------------------------
# Rows as the list writes them: caption = system number + variable name; references from 40001,
# +2 per variable, +1 per flags variable. (caption, SNVT id, dimension, flags name or None,
# flags SNVT id)
GATEWAY_ROWS = [
    ("1t1", "105", "°C", None, None),
    ("1t2", "105", "°C", None, None),
    ("1q1", "28", "кВт", "1q1f", "83"),
    ("2v1", "15", "м3/ч", "2v1f", "83"),
    ("2тхв", "105", "°C", None, None),
    ("3tnv", "105", "°C", None, None),
    ("1w1", "13", "Гкал", None, None),
    ("1terr", "124", "ч", "1terr", "83"),
]


def padded(snvt_id):
    return snvt_id + " " * max(0, 22 - len(cp1251(snvt_id))) + " "


def duxgate():
    out, ref = [], 40001
    for caption, vid, dim, flags, fid in GATEWAY_ROWS:
        text = "F %d %s%s %s\r\n" % (ref, padded(vid), caption, dim)
        ref += 2
        if flags:
            text += "B %d %s%s\r\n" % (ref, padded(fid), flags)
            ref += 1
        out.append(text)
    return cp1251("".join(out))


def write(name, data):
    with open(os.path.join(CONFIG, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(CONFIG, exist_ok=True)
    write("main.def", main_def())
    for base, display, calcs in SYSTEMS:
        write(base + ".xms", xms(display, calcs))
    write("duxgate.cfg", duxgate())


if __name__ == "__main__":
    main()
