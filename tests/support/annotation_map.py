#!/usr/bin/env python3
"""Prints, as JSON, what the annotations of a PDF file show, read with qpdf --json:
pages: per page its annotations in order, a link inside the file as "Link>N" (N the target
page's position, "?" when it leads to no page), any other annotation by its subtype;
fields: "full name=value@page" of every field widget;
problems: annotations whose /P, /Popup or /Parent lead off their page, and references to
objects the file does not have.

With --expect SOURCE PAGES COPY, compares COPY, a copy of the pages PAGES ("3,1,3") of SOURCE
that kept its annotations, with what SOURCE's annotations become there, and prints "same" or
the first difference."""
import json
import subprocess
import sys


def annotation_map(path, password=None):
    command = ["qpdf", "--json", "--json-key=pages", "--json-key=acroform", "--json-key=qpdf"]
    if password:
        command.append("--password=" + password)
    data = json.loads(subprocess.run(command + [path], capture_output=True, check=False).stdout.decode("utf-8", "replace"))
    objects = {key[4:]: value.get("value", value.get("stream", {}).get("dict"))
               for key, value in data["qpdf"][1].items() if key.startswith("obj:")}
    page_of = {page["object"]: page["pageposfrom1"] for page in data["pages"]}
    problems = []

    def resolve(value, depth=0):
        while isinstance(value, str) and value.endswith(" R") and depth < 8:
            if value not in objects:
                problems.append("missing " + value)
                return None
            value, depth = objects[value], depth + 1
        return value

    catalog = resolve(next(v["/Root"] for v in objects.values() if isinstance(v, dict) and "/Root" in v)
                      if any(isinstance(v, dict) and "/Root" in v for v in objects.values()) else None)
    if catalog is None:
        catalog = next((v for v in objects.values() if isinstance(v, dict) and v.get("/Type") == "/Catalog"), {})
    named = {}

    def read_tree(node, depth=0):
        node = resolve(node)
        if not isinstance(node, dict) or depth > 32:
            return
        names = resolve(node.get("/Names")) or []
        for i in range(0, len(names) - 1, 2):
            named.setdefault(names[i][2:], names[i + 1])
        for kid in resolve(node.get("/Kids")) or []:
            read_tree(kid, depth + 1)

    read_tree((resolve(catalog.get("/Names")) or {}).get("/Dests"))
    for key, value in (resolve(catalog.get("/Dests")) or {}).items():
        named.setdefault(key[1:], value)

    def target(dest, depth=0):
        dest = resolve(dest)
        if isinstance(dest, dict):
            return target(dest.get("/D"), depth + 1) if depth < 4 else "?"
        if isinstance(dest, str) and dest[:2] in ("u:", "b:") or isinstance(dest, str) and dest.startswith("/"):
            found = named.get(dest[2:] if dest[:2] in ("u:", "b:") else dest[1:])
            return target(found, depth + 1) if found is not None and depth < 4 else "?"
        if isinstance(dest, list) and dest:
            if isinstance(dest[0], int) and 0 <= dest[0] < len(page_of):
                return str(dest[0] + 1)
            return str(page_of.get(dest[0], "?"))
        return "?"

    pages = []
    for page in data["pages"]:
        tokens, on_page = [], set()
        listed = resolve(objects.get(page["object"], {}).get("/Annots")) or []
        for ref in listed:
            on_page.add(json.dumps(ref))
        for ref in listed:
            annot = resolve(ref)
            if not isinstance(annot, dict):
                continue
            subtype = annot.get("/Subtype", "?")[1:]
            action = resolve(annot.get("/A")) or {}
            if "/Dest" in annot:
                tokens.append(subtype + ">" + target(annot["/Dest"]))
            elif action.get("/S") == "/GoTo":
                tokens.append(subtype + ">" + target(action.get("/D")))
            elif subtype == "Link" and "/S" in action:
                tokens.append(subtype + ":" + action["/S"][1:])
            else:
                tokens.append(subtype)
            if "/P" in annot and annot["/P"] != page["object"]:
                problems.append("/P off page %d" % page["pageposfrom1"])
            for key in ("/Popup", "/IRT") + (() if subtype == "Widget" else ("/Parent",)):
                if key in annot and json.dumps(annot[key]) not in on_page:
                    problems.append("%s off page %d" % (key, page["pageposfrom1"]))
        pages.append(tokens)

    def shown(value):
        value = resolve(value)
        return json.dumps(value if not isinstance(value, (dict, list)) else type(value).__name__)

    fields = sorted("%s=%s@%d" % (f["fullname"], shown(f["value"]), f["pageposfrom1"]) for f in data["acroform"]["fields"])
    return {"pages": pages, "fields": fields, "problems": sorted(set(problems))}


def expected_copy(source, pages):
    """What the annotations of source become on a copy of pages: links and comments on every
    listing, widgets on the first listing of their page, links to pages left out dropped and
    links to no page without their action."""
    first = {}
    for position, page in enumerate(pages, 1):
        first.setdefault(page, position)
    copy = []
    for position, page in enumerate(pages, 1):
        tokens = []
        for token in source["pages"][page - 1]:
            kind, _, target = token.partition(">")
            if kind == "Widget" and first[page] != position:
                continue
            if target:
                if target == "?" or int(target) not in first:
                    # A link to a page left out goes; one to no page loses its action.
                    if kind == "Link" and target != "?":
                        continue
                    token = kind
                else:
                    token = "%s>%d" % (kind, first[int(target)])
            tokens.append(token)
        copy.append(tokens)
    fields = []
    for field in source["fields"]:
        name, _, page = field.rpartition("@")
        if int(page) in first:
            fields.append("%s@%d" % (name, first[int(page)]))
    return {"pages": copy, "fields": sorted(fields), "problems": source["problems"]}


def main():
    if sys.argv[1] != "--expect":
        print(json.dumps(annotation_map(*sys.argv[1:3])))
        return
    source, pages, copy = sys.argv[2], [int(p) for p in sys.argv[3].split(",")], sys.argv[4]
    password = sys.argv[5] if len(sys.argv) > 5 else None
    want, got = expected_copy(annotation_map(source, password), pages), annotation_map(copy, password)
    # A copy may mend what led off a page; it must not add to it.
    if set(got["problems"]) <= set(want["problems"]):
        got["problems"] = want["problems"]
    for key in ("pages", "fields", "problems"):
        if want[key] != got[key]:
            difference = next((i for i, (a, b) in enumerate(zip(want[key], got[key])) if a != b),
                              min(len(want[key]), len(got[key])))
            print("%s differ at %d: want %s got %s" % (key, difference, json.dumps(want[key][difference:difference + 1]),
                                                      json.dumps(got[key][difference:difference + 1])))
            return
    print("same")


if __name__ == "__main__":
    main()
