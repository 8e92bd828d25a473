#!/usr/bin/env python3
"""Writes the window's form with every widget's own style sheet taken out: the start-up bench
builds it beside the real form to show what the widgets cost without their styles.

    unstyled_form.py FORM.ui OUT.ui
"""
import re
import sys

STYLE_SHEET = re.compile(r'<property name="styleSheet">\s*<string[^>]*>.*?</string>\s*</property>',
                         re.S)

with open(sys.argv[1], encoding="utf-8") as form:
    text = form.read()
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write(STYLE_SHEET.sub("", text))
