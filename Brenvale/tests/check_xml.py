#!/usr/bin/env python3
"""Checks that a file is well-formed XML (Python's own parser) and holds expected values.

Usage: check_xml.py FILE [EXPECTATIONS]
EXPECTATIONS is a UTF-8 file of lines "path<TAB>attribute<TAB>value": the element found
with ElementTree's find(path) ("." is the root) must have that attribute value, or,
with an empty attribute, that text. Prints what differs; exit status 0 only when the
file parses and every expectation holds.
"""
import sys
import xml.etree.ElementTree as ET


def main():
    root = ET.parse(sys.argv[1]).getroot()
    failures = 0
    if len(sys.argv) > 2:
        with open(sys.argv[2], encoding='utf-8') as lines:
            for line in lines:
                line = line.rstrip('\n')
                if not line:
                    continue
                path, attribute, expected = line.split('\t', 2)
                element = root if path == '.' else root.find(path)
                if element is None:
                    print('missing element', path)
                    failures += 1
                    continue
                actual = element.get(attribute) if attribute else (element.text or '')
                if actual != expected:
                    print('%s %s: %r != %r' % (path, attribute, actual, expected))
                    failures += 1
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
