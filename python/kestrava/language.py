"""The language a person reads: the windows' rule (language/language.h), for the judge's report.

The flag's value when given, else KESTRAVA_LANG's, else Spanish; an unknown name in either is refused
with the windows' own words rather than taken for Spanish."""

from __future__ import annotations

import os

LANGUAGES = ("es", "en")


def chosen_language(flag: str | None, environment=os.environ) -> str:
    """"es" or "en"; raises ValueError naming what was given."""
    if flag:
        if flag not in LANGUAGES:
            raise ValueError(f'--lang takes es or en, not "{flag}"')
        return flag
    named = environment.get("KESTRAVA_LANG", "")
    if not named:
        return "es"
    if named not in LANGUAGES:
        raise ValueError(f'KESTRAVA_LANG takes es or en, not "{named}"')
    return named
