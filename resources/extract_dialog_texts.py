#!/usr/bin/env python3
"""Writes a C++ header with dialog 129's caption and controls and the string table of the
resource script, in Japanese and in English, so that a player without Windows resources shows
the same texts in the same language as the Windows one.

    extract_dialog_texts.py noctiva.rc resource.h OUT.h

Only the statements that noctiva.rc uses are understood; anything else in the dialog template
is an error, so that a new kind of control is not silently left out. The English dialog must
have the Japanese one's controls (ids, kinds, groups, places and sizes, in the same order) and
the English string table the same ids, so that a change to one language is not forgotten in
the other.
"""
import re
import sys

KNOWN_IDS = {"IDOK": 1, "IDCANCEL": 2, "-1": -1}
CLASS_KINDS = {"TRACKBAR_CLASS": "Trackbar", '"msctls_trackbar32"': "Trackbar"}


def read_ids(header_text):
    ids = dict(KNOWN_IDS)
    for name, value in re.findall(r"^#define\s+(\w+)\s+(-?\d+)", header_text, re.M):
        ids[name] = int(value)
    return ids


def unquote(text):
    """A resource-script string: "" is a quote, \\r \\n \\t \\\\ are escapes."""
    body = text[1:-1].replace('""', '"')
    return re.sub(r"\\(.)", lambda m: {"r": "\r", "n": "\n", "t": "\t"}.get(m[1], m[1]), body)


def split_arguments(text):
    """Comma-separated arguments, quoted strings kept whole."""
    return [a.strip() for a in re.findall(r'"(?:[^"]|"")*"|[^,]+', text)]


def statements(block):
    """The statements of a BEGIN..END block; a line ending in a comma goes on in the next one."""
    joined, current = [], ""
    for line in block.splitlines():
        line = line.split("//")[0].strip()
        if not line:
            continue
        current = f"{current} {line}" if current else line
        if not current.endswith(","):
            joined.append(current)
            current = ""
    return joined


def control_kind(class_name, style):
    if class_name in CLASS_KINDS:
        return CLASS_KINDS[class_name]
    if class_name == '"Button"':
        if "BS_AUTOCHECKBOX" in style:
            return "CheckBox"
        if "BS_AUTORADIOBUTTON" in style:
            return "RadioButton"
    if class_name == '"Static"':
        return "ValueLabel"
    raise ValueError(f"unknown control class {class_name} with style {style}")


def parse_control(statement, ids):
    keyword, rest = statement.split(None, 1)
    args = split_arguments(rest)
    if keyword == "CONTROL":
        caption, name, class_name, style = args[0], args[1], args[2], args[3]
        kind = control_kind(class_name, style)
        box = args[4:8]
    elif keyword == "COMBOBOX":
        caption, name, kind, box, style = '""', args[0], "ComboBox", args[1:5], args[5]
    elif keyword in ("DEFPUSHBUTTON", "PUSHBUTTON", "LTEXT"):
        caption, name, box = args[0], args[1], args[2:6]
        style = args[6] if len(args) > 6 else ""
        kind = {"DEFPUSHBUTTON": "DefaultButton", "PUSHBUTTON": "Button", "LTEXT": "Label"}[keyword]
    else:
        raise ValueError(f"unknown dialog statement {keyword}")
    return {
        "id": ids[name],
        "kind": kind,
        "caption": unquote(caption),
        "groupStart": "WS_GROUP" in style,
        "box": [int(v) for v in box],
    }


LANGUAGES = {"japanese": "LANG_JAPANESE", "english": "LANG_ENGLISH"}


def language_sections(rc_text):
    """The script cut at its LANGUAGE statements: {primary language name: text that follows}."""
    parts = re.split(r"^LANGUAGE\s+(\w+)\s*,\s*\w+\s*$", rc_text, flags=re.M)
    sections = {}
    for name, text in zip(parts[1::2], parts[2::2]):
        sections[name] = sections.get(name, "") + text
    return sections


def same_layout(japanese, english):
    """Why the English controls differ from the Japanese ones in anything but the caption."""
    if len(japanese) != len(english):
        return f"{len(english)} English controls, {len(japanese)} Japanese ones"
    for n, (j, e) in enumerate(zip(japanese, english)):
        for key in ("id", "kind", "groupStart", "box"):
            if j[key] != e[key]:
                return f"control {n} (id {j['id']}): English {key} {e[key]}, Japanese {j[key]}"
    return None


def parse_language(sections, language, ids):
    if LANGUAGES[language] not in sections:
        raise ValueError(f"no LANGUAGE {LANGUAGES[language]} section")
    text = sections[LANGUAGES[language]]
    caption, controls = parse_dialog(text, ids, "IDD_SETTINGS")
    return {"caption": caption, "controls": controls, "strings": parse_strings(text, ids)}


def parse_script(rc_text, ids):
    sections = language_sections(rc_text)
    texts = {language: parse_language(sections, language, ids) for language in LANGUAGES}
    differs = same_layout(texts["japanese"]["controls"], texts["english"]["controls"])
    if differs:
        raise ValueError(f"the English dialog differs: {differs}")
    japanese_ids = sorted(i for i, _ in texts["japanese"]["strings"])
    english_ids = sorted(i for i, _ in texts["english"]["strings"])
    if japanese_ids != english_ids:
        missing = sorted(set(japanese_ids) ^ set(english_ids))
        raise ValueError(f"the string tables differ in ids {missing}")
    return texts


def parse_dialog(rc_text, ids, dialog_name):
    match = re.search(rf"^{dialog_name}\s+DIALOGEX.*?^CAPTION\s+(\".*?\")\s*$.*?^BEGIN$(.*?)^END$",
                      rc_text, re.M | re.S)
    if not match:
        raise ValueError(f"no dialog {dialog_name}")
    return unquote(match[1]), [parse_control(s, ids) for s in statements(match[2])]


def parse_strings(rc_text, ids):
    match = re.search(r"^STRINGTABLE\s*^BEGIN$(.*?)^END$", rc_text, re.M | re.S)
    if not match:
        raise ValueError("no string table")
    table = []
    for statement in statements(match[1]):
        name, text = statement.split(None, 1)
        table.append((ids[name], unquote(text.strip())))
    return table


def cpp_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\r", "\\r")
    return '"' + escaped.replace("\n", "\\n") + '"'


def language_block(suffix, texts):
    lines = [f"inline constexpr const char* kSettingsDialogCaption{suffix} = "
             f"{cpp_string(texts['caption'])};",
             "", f"inline constexpr DialogControl kSettingsDialogControls{suffix}[] = {{"]
    for c in texts["controls"]:
        x, y, w, h = c["box"]
        group = "true" if c["groupStart"] else "false"
        lines.append(f"    {{{c['id']}, ControlKind::{c['kind']}, {cpp_string(c['caption'])}, "
                     f"{group}, {x}, {y}, {w}, {h}}},")
    lines += ["};", "", f"inline constexpr ResourceString kStringTable{suffix}[] = {{"]
    lines += [f"    {{{i}, {cpp_string(t)}}}," for i, t in texts["strings"]]
    lines += ["};", ""]
    return lines


def header(texts):
    lines = [
        "// Generated by resources/extract_dialog_texts.py from noctiva.rc and resource.h: the texts",
        "// exist once, in the resource script. UTF-8. The unmarked names are the Japanese texts.",
        "#pragma once",
        "",
        "#include <string_view>",
        "",
        '#include "settings/dialog_template.h"',
        "",
    ]
    lines += language_block("", texts["japanese"])
    lines += language_block("English", texts["english"])
    lines += [
        "inline constexpr DialogTexts kJapaneseDialogTexts{kSettingsDialogCaption,",
        "                                                  kSettingsDialogControls, kStringTable};",
        "inline constexpr DialogTexts kEnglishDialogTexts{kSettingsDialogCaptionEnglish,",
        "                                                 kSettingsDialogControlsEnglish,",
        "                                                 kStringTableEnglish};",
        "",
        "// Japanese for a Japanese locale (the C library's name for it, e.g. LC_MESSAGES), English",
        "// for every other.",
        "inline const DialogTexts& DialogTextsForLocale(std::string_view locale) {",
        "    return IsJapaneseLocale(locale) ? kJapaneseDialogTexts : kEnglishDialogTexts;",
        "}",
        "",
    ]
    return "\n".join(lines)


def main():
    if len(sys.argv) != 4:
        print("usage: extract_dialog_texts.py RC HEADER OUT", file=sys.stderr)
        return 2
    rc_text = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
    ids = read_ids(open(sys.argv[2], encoding="utf-8").read())
    try:
        texts = parse_script(rc_text, ids)
    except (ValueError, KeyError, IndexError) as error:
        print(f"extract_dialog_texts: {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    with open(sys.argv[3], "w", encoding="utf-8") as out:
        out.write(header(texts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
