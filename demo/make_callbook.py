#!/usr/bin/env python3
"""Writes the demo callbook: about 20,000 invented stations, a third of them Ukrainian.

The table comes from Host/callbook_schema.sql, the same text the host creates a new callbook
from. The output is the same on every run (fixed seed), so the demo's bureau lists can name
calls that are known to be in it:

    make_callbook.py                          # writes demo/callbook.db
    make_callbook.py --list-ur 40 calls.txt   # also writes 40 Ukrainian calls of it, one a line
    make_callbook.py --no-db --list-ur 40 -   # only the calls, on stdout
    make_callbook.py --db big.db --scale 5    # 100,000 stations, for benchmarks
"""

import argparse
import os
import random
import sqlite3
import string
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
SCHEMA = HERE.parent / "Host" / "callbook_schema.sql"
DEFAULT_DB = HERE / "callbook.db"
DEFAULT_SEED = 20240501
UKRAINIAN_ROWS = 6000


class Country:
    """Stations of one DXCC entity: how their calls are built, who they are, where they live."""

    def __init__(self, dxcc, rows, prefixes, digits, suffixes, names, cities):
        self.dxcc = dxcc
        self.rows = rows
        self.prefixes = prefixes  # a prefix may carry its own digit (HB9, 2E0)
        self.digits = digits
        self.suffixes = suffixes  # weights of suffix lengths 1, 2, 3
        self.names = names
        self.cities = cities  # (name, latitude, longitude)

    def call(self, rng):
        prefix = rng.choice(self.prefixes)
        digit = "" if prefix[-1].isdigit() else rng.choice(self.digits)
        length = rng.choices((1, 2, 3), weights=self.suffixes)[0]
        return prefix + digit + "".join(rng.choice(string.ascii_uppercase) for _ in range(length))


def letters(first, last):
    return [chr(c) for c in range(ord(first), ord(last) + 1)]


UKRAINE = Country(
    "UR", UKRAINIAN_ROWS,
    ["UR", "UT", "UX", "US", "UY", "UZ", "UV", "UW", "EM", "EN", "EO"], "0123456789", (4, 22, 74),
    ["Oleksandr", "Volodymyr", "Serhiy", "Andriy", "Mykola", "Viktor", "Yuriy", "Oleh", "Ihor",
     "Vasyl", "Petro", "Dmytro", "Taras", "Bohdan", "Roman", "Anatoliy", "Vitaliy", "Valeriy",
     "Mykhailo", "Ivan", "Pavlo", "Leonid", "Yaroslav", "Stepan", "Olena", "Nataliya", "Iryna",
     "Tetiana", "Hennadiy", "Yevhen"],
    [("Kyiv", 50.45, 30.52), ("Kharkiv", 49.99, 36.23), ("Odesa", 46.48, 30.72),
     ("Dnipro", 48.46, 35.05), ("Lviv", 49.84, 24.03), ("Zaporizhzhia", 47.84, 35.14),
     ("Vinnytsia", 49.23, 28.47), ("Poltava", 49.59, 34.55), ("Chernihiv", 51.50, 31.29),
     ("Cherkasy", 49.44, 32.06), ("Zhytomyr", 50.25, 28.66), ("Sumy", 50.91, 34.80),
     ("Khmelnytskyi", 49.42, 26.99), ("Chernivtsi", 48.29, 25.94), ("Rivne", 50.62, 26.25),
     ("Ivano-Frankivsk", 48.92, 24.71), ("Ternopil", 49.55, 25.59), ("Lutsk", 50.75, 25.34),
     ("Uzhhorod", 48.62, 22.29), ("Mykolaiv", 46.98, 31.99), ("Kherson", 46.64, 32.62),
     ("Kropyvnytskyi", 48.51, 32.26), ("Kryvyi Rih", 47.91, 33.39), ("Bila Tserkva", 49.80, 30.11)])

OTHERS = [
    Country("DL", 2200, ["DL", "DK", "DJ", "DH", "DF", "DG", "DB", "DC", "DD", "DM", "DO"], "0123456789",
            (0, 30, 70),
            ["Jürgen", "Klaus", "Peter", "Wolfgang", "Michael", "Thomas", "Andreas", "Uwe", "Dieter",
             "Stefan", "Frank", "Günter", "Horst", "Manfred", "Ralf", "Bernd"],
            [("Berlin", 52.52, 13.40), ("Hamburg", 53.55, 9.99), ("München", 48.14, 11.58),
             ("Köln", 50.94, 6.96), ("Frankfurt am Main", 50.11, 8.68), ("Stuttgart", 48.78, 9.18),
             ("Düsseldorf", 51.23, 6.78), ("Leipzig", 51.34, 12.37), ("Dresden", 51.05, 13.74),
             ("Hannover", 52.37, 9.73), ("Nürnberg", 49.45, 11.08), ("Bremen", 53.08, 8.80)]),
    Country("UA", 2000, ["UA", "RA", "RV", "RW", "RX", "RZ", "RN", "RK", "R"], "1346", (5, 40, 55),
            ["Aleksandr", "Sergey", "Vladimir", "Nikolay", "Andrey", "Viktor", "Yuri", "Igor",
             "Oleg", "Dmitry", "Mikhail", "Gennady"],
            [("Moskva", 55.76, 37.62), ("Sankt-Peterburg", 59.94, 30.31), ("Nizhny Novgorod", 56.33, 44.00),
             ("Kazan", 55.79, 49.12), ("Samara", 53.20, 50.15), ("Rostov-na-Donu", 47.24, 39.71),
             ("Voronezh", 51.67, 39.18), ("Volgograd", 48.71, 44.51)]),
    Country("UA9", 400, ["UA", "RA", "RV", "RW", "RX", "RZ", "R"], "90", (5, 40, 55),
            ["Aleksandr", "Sergey", "Vladimir", "Nikolay", "Andrey", "Yuri", "Valery"],
            [("Novosibirsk", 55.01, 82.93), ("Yekaterinburg", 56.84, 60.61), ("Omsk", 54.99, 73.37),
             ("Krasnoyarsk", 56.01, 92.87), ("Irkutsk", 52.29, 104.28), ("Vladivostok", 43.12, 131.89)]),
    Country("K", 2400, ["K", "W", "N", "KA", "KB", "KC", "KD", "KE", "KF", "KG", "KI", "KJ", "KK", "KN",
                        "WA", "WB", "WD", "WX", "NA", "NB", "N", "AA", "AB", "AC", "AD", "AE", "AF", "AG",
                        "AI", "AJ", "AK"], "0123456789", (2, 38, 60),
            ["Bob", "Jim", "John", "Bill", "Mike", "Dave", "Tom", "Steve", "Gary", "Dan", "Ed", "Rick",
             "Ron", "Larry", "Chuck", "Jeff"],
            [("New York, NY", 40.71, -74.01), ("Los Angeles, CA", 34.05, -118.24),
             ("Chicago, IL", 41.88, -87.63), ("Houston, TX", 29.76, -95.37), ("Phoenix, AZ", 33.45, -112.07),
             ("Denver, CO", 39.74, -104.99), ("Seattle, WA", 47.61, -122.33), ("Boston, MA", 42.36, -71.06),
             ("Atlanta, GA", 33.75, -84.39), ("Miami, FL", 25.76, -80.19), ("Dallas, TX", 32.78, -96.80),
             ("Minneapolis, MN", 44.98, -93.27)]),
    Country("JA", 1200, ["JA", "JH", "JR", "JE", "JF", "JG", "JI", "JJ", "JK", "JL", "JM", "JN", "JO",
                         "JP", "JQ", "JS", "7K", "7L", "7M", "7N"], "0123456789", (0, 5, 95),
            ["Hiroshi", "Takashi", "Kenji", "Akira", "Yoshio", "Masao", "Makoto", "Satoshi", "Tadashi",
             "Kazuo"],
            [("Tokyo", 35.68, 139.69), ("Osaka", 34.69, 135.50), ("Yokohama", 35.44, 139.64),
             ("Nagoya", 35.18, 136.91), ("Sapporo", 43.06, 141.35), ("Fukuoka", 33.59, 130.40),
             ("Kobe", 34.69, 135.20), ("Kyoto", 35.01, 135.77), ("Sendai", 38.27, 140.87),
             ("Hiroshima", 34.39, 132.46)]),
    Country("SP", 800, ["SP", "SQ", "SO", "SN"], "123456789", (5, 35, 60),
            ["Andrzej", "Krzysztof", "Piotr", "Marek", "Tomasz", "Jan", "Paweł", "Łukasz", "Grzegorz",
             "Zbigniew", "Wojciech"],
            [("Warszawa", 52.23, 21.01), ("Kraków", 50.06, 19.94), ("Łódź", 51.76, 19.46),
             ("Wrocław", 51.11, 17.04), ("Poznań", 52.41, 16.93), ("Gdańsk", 54.35, 18.65),
             ("Szczecin", 53.43, 14.55), ("Lublin", 51.25, 22.57), ("Rzeszów", 50.04, 22.00),
             ("Katowice", 50.26, 19.02)]),
    Country("I", 800, ["I", "IK", "IZ", "IW", "IU"], "0123456789", (0, 35, 65),
            ["Giuseppe", "Giovanni", "Antonio", "Mario", "Francesco", "Luigi", "Paolo", "Marco", "Roberto",
             "Franco"],
            [("Roma", 41.90, 12.50), ("Milano", 45.46, 9.19), ("Napoli", 40.85, 14.27), ("Torino", 45.07, 7.69),
             ("Bologna", 44.49, 11.34), ("Firenze", 43.77, 11.26), ("Genova", 44.41, 8.93),
             ("Palermo", 38.12, 13.36), ("Bari", 41.12, 16.87), ("Verona", 45.44, 10.99)]),
    Country("G", 700, ["G", "M", "2E0", "2E1"], "01345678", (0, 30, 70),
            ["John", "David", "Paul", "Peter", "Michael", "Ian", "Steve", "Chris", "Andrew", "Richard",
             "Mark", "Graham", "Alan"],
            [("London", 51.51, -0.13), ("Manchester", 53.48, -2.24), ("Birmingham", 52.49, -1.89),
             ("Leeds", 53.80, -1.55), ("Bristol", 51.45, -2.59), ("Liverpool", 53.41, -2.98),
             ("Sheffield", 53.38, -1.47), ("Norwich", 52.63, 1.30), ("York", 53.96, -1.08)]),
    Country("F", 600, ["F"], "145689", (0, 30, 70),
            ["Jean", "Pierre", "Michel", "Philippe", "Alain", "Patrick", "Christian", "Bernard", "Didier",
             "Gérard"],
            [("Paris", 48.86, 2.35), ("Lyon", 45.76, 4.84), ("Marseille", 43.30, 5.37), ("Toulouse", 43.60, 1.44),
             ("Bordeaux", 44.84, -0.58), ("Nantes", 47.22, -1.55), ("Lille", 50.63, 3.06),
             ("Strasbourg", 48.57, 7.75), ("Rennes", 48.11, -1.68)]),
    Country("OK", 400, ["OK", "OL"], "12", (0, 35, 65),
            ["Jiří", "Jan", "Petr", "Josef", "Pavel", "Miroslav", "Zdeněk", "Václav"],
            [("Praha", 50.08, 14.44), ("Brno", 49.20, 16.61), ("Ostrava", 49.82, 18.26), ("Plzeň", 49.74, 13.37),
             ("Olomouc", 49.59, 17.25), ("Liberec", 50.77, 15.06), ("České Budějovice", 48.97, 14.47)]),
    Country("VE", 400, ["VE", "VA"], "1234679", (0, 40, 60),
            ["Bob", "Doug", "Ken", "Gord", "Brian", "Jacques", "Pierre", "Wayne", "Don"],
            [("Toronto, ON", 43.65, -79.38), ("Montréal, QC", 45.50, -73.57), ("Vancouver, BC", 49.28, -123.12),
             ("Calgary, AB", 51.05, -114.07), ("Ottawa, ON", 45.42, -75.70), ("Edmonton, AB", 53.55, -113.49),
             ("Winnipeg, MB", 49.90, -97.14), ("Halifax, NS", 44.65, -63.58)]),
    Country("EW", 300, ["EW", "EU"], "12345678", (0, 50, 50),
            ["Aliaksandr", "Siarhei", "Uladzimir", "Andrei", "Viktar", "Ihar"],
            [("Minsk", 53.90, 27.56), ("Homiel", 52.44, 30.99), ("Mahilioŭ", 53.90, 30.33),
             ("Viciebsk", 55.19, 30.20), ("Hrodna", 53.68, 23.83), ("Brest", 52.10, 23.69)]),
    Country("EA", 300, ["EA", "EB", "EC"], "123456789", (0, 35, 65),
            ["José", "Antonio", "Manuel", "Francisco", "Juan", "Javier", "Carlos", "Luis"],
            [("Madrid", 40.42, -3.70), ("Barcelona", 41.39, 2.17), ("Valencia", 39.47, -0.38),
             ("Sevilla", 37.39, -5.98), ("Zaragoza", 41.65, -0.89), ("Bilbao", 43.26, -2.93)]),
    Country("HA", 250, ["HA", "HG"], "123456789", (0, 40, 60),
            ["László", "István", "József", "János", "Zoltán", "Sándor", "Gábor"],
            [("Budapest", 47.50, 19.04), ("Debrecen", 47.53, 21.63), ("Szeged", 46.25, 20.15),
             ("Pécs", 46.07, 18.23), ("Győr", 47.69, 17.63)]),
    Country("YO", 250, ["YO"], "23456789", (0, 40, 60),
            ["Ion", "Gheorghe", "Vasile", "Constantin", "Mihai", "Dan", "Florin"],
            [("București", 44.43, 26.10), ("Cluj-Napoca", 46.77, 23.59), ("Timișoara", 45.75, 21.23),
             ("Iași", 47.16, 27.59), ("Constanța", 44.18, 28.63)]),
    Country("OH", 200, ["OH", "OG"], "123456789", (5, 45, 50),
            ["Jari", "Timo", "Kari", "Pekka", "Matti", "Juha", "Mika"],
            [("Helsinki", 60.17, 24.94), ("Espoo", 60.21, 24.66), ("Tampere", 61.50, 23.79),
             ("Turku", 60.45, 22.27), ("Oulu", 65.01, 25.47)]),
    Country("SM", 200, ["SM", "SA"], "01234567", (0, 40, 60),
            ["Lars", "Anders", "Per", "Bengt", "Göran", "Nils", "Ulf"],
            [("Stockholm", 59.33, 18.07), ("Göteborg", 57.71, 11.97), ("Malmö", 55.60, 13.00),
             ("Uppsala", 59.86, 17.64), ("Umeå", 63.83, 20.26)]),
    Country("PA", 200, ["PA", "PD", "PE", "PH"], "0123456789", (0, 35, 65),
            ["Jan", "Piet", "Henk", "Kees", "Wim", "Johan", "Gerrit"],
            [("Amsterdam", 52.37, 4.90), ("Rotterdam", 51.92, 4.48), ("Den Haag", 52.08, 4.30),
             ("Utrecht", 52.09, 5.12), ("Eindhoven", 51.44, 5.47)]),
    Country("LY", 150, ["LY"], "12345", (0, 50, 50),
            ["Algirdas", "Vytautas", "Jonas", "Antanas", "Rimantas"],
            [("Vilnius", 54.69, 25.28), ("Kaunas", 54.90, 23.89), ("Klaipėda", 55.70, 21.14)]),
    Country("OE", 150, ["OE"], "123456789", (0, 40, 60),
            ["Franz", "Josef", "Karl", "Johann", "Helmut", "Walter"],
            [("Wien", 48.21, 16.37), ("Graz", 47.07, 15.44), ("Linz", 48.31, 14.29), ("Salzburg", 47.81, 13.04),
             ("Innsbruck", 47.27, 11.40)]),
    Country("HB", 100, ["HB9"], "", (0, 40, 60),
            ["Hans", "Urs", "Peter", "Beat", "Daniel", "Marcel"],
            [("Zürich", 47.38, 8.54), ("Genève", 46.20, 6.14), ("Basel", 47.56, 7.59), ("Bern", 46.95, 7.45),
             ("Lausanne", 46.52, 6.63)]),
]


def locator(latitude, longitude):
    """The six-character Maidenhead locator of a point."""
    lon, lat = longitude + 180.0, latitude + 90.0
    return (chr(ord("A") + int(lon // 20)) + chr(ord("A") + int(lat // 10))
            + str(int(lon % 20 // 2)) + str(int(lat % 10))
            + chr(ord("a") + int(lon % 2 * 12)) + chr(ord("a") + int(lat % 1 * 24)))


def stations(seed, scale=1):
    """All rows (call, dxcc, name, qth, grid) in the order a growing callbook would hold them."""
    rng = random.Random(seed)
    seen, rows = set(), []
    for country in [UKRAINE] + OTHERS:
        for _ in range(country.rows * scale):
            call = country.call(rng)
            while call in seen:
                call = country.call(rng)
            seen.add(call)
            city, lat, lon = rng.choice(country.cities)
            # Not every entry knows its square.
            grid = locator(lat + rng.uniform(-0.3, 0.3), lon + rng.uniform(-0.5, 0.5)) \
                if rng.random() < 0.85 else ""
            rows.append((call, country.dxcc, rng.choice(country.names), city, grid))
    rng.shuffle(rows)
    return rows


def write_database(path, rows):
    schema = SCHEMA.read_text(encoding="utf-8")
    temporary = path.with_name(path.name + ".tmp")
    temporary.unlink(missing_ok=True)
    db = sqlite3.connect(temporary, isolation_level=None)
    try:
        # The shipped file must be one file: no WAL beside it (the host switches to WAL on open).
        db.execute("PRAGMA journal_mode=DELETE")
        db.executescript(schema)
        db.execute("BEGIN")
        db.executemany("INSERT INTO CALLBOOK (OMCALL, DXCCPFX, OMNAME, QTH, GRID) VALUES (?, ?, ?, ?, ?)", rows)
        db.execute("COMMIT")
        db.execute("VACUUM")
    finally:
        db.close()
    os.replace(temporary, path)


def write_ukrainian_calls(rows, count, target, seed):
    ukrainian = sorted(call for call, dxcc, *_ in rows if dxcc == UKRAINE.dxcc)
    if not 0 <= count <= len(ukrainian):
        sys.exit(f"--list-ur: between 0 and {len(ukrainian)} calls can be listed")
    chosen = sorted(random.Random(seed + 1).sample(ukrainian, count))
    text = "".join(call + "\n" for call in chosen)
    if target == "-":
        sys.stdout.write(text)
    else:
        Path(target).write_text(text, encoding="utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--db", type=Path, default=DEFAULT_DB, help="callbook file to write (default: %(default)s)")
    parser.add_argument("--no-db", action="store_true", help="write no callbook")
    parser.add_argument("--scale", type=int, default=1, help="stations times this (default: %(default)s)")
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED, help=argparse.SUPPRESS)
    parser.add_argument("--list-ur", nargs=2, metavar=("N", "FILE"),
                        help="write N Ukrainian calls of the callbook to FILE ('-' for stdout)")
    args = parser.parse_args()

    if args.scale < 1:
        parser.error("--scale: at least 1")
    rows = stations(args.seed, args.scale)
    if not args.no_db:
        write_database(args.db, rows)
    if args.list_ur:
        count, target = args.list_ur
        if not count.isdigit():
            parser.error("--list-ur: N must be a number")
        write_ukrainian_calls(rows, int(count), target, args.seed)


if __name__ == "__main__":
    main()
