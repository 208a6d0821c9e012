"""kestrava-judge --report: one self-contained HTML page (inline CSS and SVG, nothing fetched) with the
ranking and every trial drawn on its arena, in the windows' language."""

from __future__ import annotations

import argparse
import html
import math
import os

from . import sandbox, simanswers

TEXTS = {
    "es": {
        "title": "Kestrava: resultados de la clase", "rank": "puesto", "program": "programa", "out": "apagadas",
        "score": "puntuación", "median": "mediana", "contacts": "contactos", "seed": "semilla",
        "closest": "lo más cerca de la vela", "fan": "ventilador encendido", "output": "últimas líneas",
        "rule": "Puntuación: la suma de los tiempos de las pruebas; una prueba sin la vela apagada cuenta el "
                "tiempo límite ({limit:g} s); más {penalty:g} s por contacto. Gana la más baja.",
        "candle out": "vela apagada", "time limit": "tiempo límite", "crashed": "el programa falló",
        "ended": "el programa terminó", "legend": "○ salida, — recorrido, ✕ contacto, ● dónde acabó el robot (con su rumbo), vela: naranja "
                  "encendida, gris apagada", "status": "estado de salida",
        "sandboxed": "Cada programa corrió aislado (sandbox): sin red, con {memory} de memoria, {processes} "
                     "procesos y archivos de hasta {files}.",
        "not sandboxed": "Sin aislamiento (not sandboxed): los programas corrieron con los permisos de quien "
                         "los juzgó.",
    },
    "en": {
        "title": "Kestrava: the class's results", "rank": "rank", "program": "program", "out": "out",
        "score": "score", "median": "median", "contacts": "contacts", "seed": "seed",
        "closest": "closest to the candle", "fan": "fan on", "output": "last lines",
        "rule": "Score: the sum of the trials' times, a trial that did not put the candle out counting the time "
                "limit ({limit:g} s), plus {penalty:g} s per contact; lower is better.",
        "candle out": "candle out", "time limit": "time limit", "crashed": "the program crashed",
        "ended": "the program ended", "legend": "○ start, — path, ✕ contact, ● where the robot ended (with its heading), candle: orange lit, "
                  "grey out", "status": "exit status",
        "sandboxed": "Each program ran sandboxed: no network, {memory} of memory, {processes} processes, files "
                     "up to {files}.",
        "not sandboxed": "Not sandboxed: the programs ran with the rights of whoever judged them.",
    },
}

STYLE = """
body { font-family: sans-serif; margin: 1.5em; color: #222; }
table.ranking { border-collapse: collapse; margin-bottom: 1em; }
table.ranking td, table.ranking th { border-bottom: 1px solid #ccc; padding: 0.25em 0.8em; text-align: left; }
section.program { margin-top: 2em; }
div.trials { display: flex; flex-wrap: wrap; gap: 1em; }
figure.trial { margin: 0; width: 260px; border: 1px solid #ccc; border-radius: 4px; padding: 0.5em; }
figure.trial svg { width: 100%; height: auto; background: #fafafa; }
figcaption { font-size: 0.85em; }
.candle-out { color: #1a7f37; } .failed { color: #b42318; }
pre { font-size: 0.75em; background: #f2f2f2; padding: 0.3em; white-space: pre-wrap; margin: 0.3em 0 0; }
"""


def language(options: argparse.Namespace) -> str:
    chosen = options.lang or os.environ.get("KESTRAVA_LANG", "")
    return chosen if chosen in TEXTS else "es"


def trial_map(trial, arena: simanswers.WorldAnswer, start) -> str:
    """The arena from above, north up: walls, boxes, the candle, the start, the path, its contacts and its end."""
    h = arena.height
    parts = [f'<svg class="map" viewBox="-5 -5 {arena.width + 10:g} {h + 10:g}" xmlns="http://www.w3.org/2000/svg">',
             f'<rect x="0" y="0" width="{arena.width:g}" height="{h:g}" fill="none" stroke="#333" stroke-width="2"/>']
    parts += [f'<line x1="{x1:g}" y1="{h - y1:g}" x2="{x2:g}" y2="{h - y2:g}" stroke="#333" stroke-width="2"/>'
              for x1, y1, x2, y2 in arena.walls]
    parts += [f'<rect x="{x:g}" y="{h - y - bh:g}" width="{w:g}" height="{bh:g}" fill="#bbb"/>'
              for x, y, w, bh in arena.boxes]
    cx, cy = trial.candle
    parts.append(f'<circle class="candle" cx="{cx:g}" cy="{h - cy:g}" r="5" '
                 f'fill="{"#888" if trial.result == "candle out" else "#f08c00"}"/>')
    parts.append(f'<circle class="start" cx="{start[0]:g}" cy="{h - start[1]:g}" r="6" fill="none" stroke="#1c7ed6"/>')
    points = " ".join(f"{p[1]:.1f},{h - p[2]:.1f}" for p in trial.path) or f"{start[0]:g},{h - start[1]:g}"
    parts.append(f'<polyline class="path" points="{points}" fill="none" stroke="#1c7ed6" stroke-width="1.5"/>')
    parts += [f'<path class="contact" d="M{p[1] - 4:.1f},{h - p[2] - 4:.1f}l8,8m0,-8l-8,8" stroke="#e03131" '
              f'stroke-width="2"/>' for p in trial.path if p[5]]
    if trial.pose:
        x, y, heading = trial.pose
        tip = (x + 15 * math.sin(math.radians(heading)), y + 15 * math.cos(math.radians(heading)))
        parts.append(f'<circle class="end" cx="{x:.1f}" cy="{h - y:.1f}" r="15" fill="#1c7ed6" fill-opacity="0.35"/>'
                     f'<line x1="{x:.1f}" y1="{h - y:.1f}" x2="{tip[0]:.1f}" y2="{h - tip[1]:.1f}" stroke="#0b3d91" '
                     'stroke-width="2"/>')
    return "".join(parts) + "</svg>"


def trial_figure(trial, arena, start, say) -> str:
    result_class = "candle-out" if trial.result == "candle out" else "failed"
    facts = [f'{say["seed"]} {trial.seed}: <b class="{result_class}">{html.escape(say[trial.result])}</b> '
             f'{trial.time:.1f} s',
             f'{say["contacts"]} {trial.contacts}, {say["fan"]} {trial.fan_seconds:.1f} s'
             + ("" if trial.closest is None else f', {say["closest"]} {trial.closest:g} cm')]
    if trial.reason():
        facts.append(html.escape(trial.reason(say["status"])))
    lines = "\n".join(trial.output)
    output = f'<pre title="{say["output"]}">{html.escape(lines)}</pre>' if lines else ""
    return (f'<figure class="trial">{trial_map(trial, arena, start)}<figcaption>{"<br>".join(facts)}{output}'
            "</figcaption></figure>")


def page(trials, standings, arena, options, say) -> str:
    start = arena.robot
    rows = "".join(f'<tr class="rank"><td>{s.rank}</td><td>{html.escape(s.program)}</td><td>{s.out}/{s.trials}</td>'
                   f'<td>{s.score:.1f} s</td><td>{"—" if s.median is None else f"{s.median:.1f} s"}</td>'
                   f"<td>{s.contacts}</td></tr>" for s in standings)
    head = "".join(f"<th>{say[key]}</th>" for key in ("rank", "program", "out", "score", "median", "contacts"))
    sections = []
    for standing in standings:
        figures = "".join(trial_figure(t, arena, start, say) for t in trials if t.program == standing.program)
        sections.append(f'<section class="program"><h2>{standing.rank}. {html.escape(standing.program)}</h2>'
                        f'<div class="trials">{figures}</div></section>')
    rule = say["rule"].format(limit=options.limit, penalty=options.contact_penalty)
    return (f'<!DOCTYPE html><html lang="{options.report_language}"><head><meta charset="utf-8">'
            f"<title>{say['title']}</title><style>{STYLE}</style></head><body><h1>{say['title']}</h1>"
            f'<p>{html.escape(arena.name)}. {rule}</p><table class="ranking"><tr>{head}</tr>{rows}</table>'
            f'<p>{say["legend"]}</p>{sandbox_line(options, say)}{"".join(sections)}</body></html>\n')


def sandbox_line(options, say) -> str:
    """Whether the programs ran sandboxed, and in which bounds; nothing for merged trials, which do not say."""
    if options.merge:
        return ""
    if not options.sandboxes:
        return f'<p class="sandbox">{say["not sandboxed"]}</p>'
    bounds = options.sandboxes.bounds
    text = say["sandboxed"].format(memory=sandbox.amount(bounds.memory), processes=bounds.processes,
                                   files=sandbox.amount(bounds.file_size))
    return f'<p class="sandbox">{text}</p>'



def write_report(path: str, trials, standings, arena: simanswers.WorldAnswer, options: argparse.Namespace) -> None:
    """Raises OSError when the page cannot be written."""
    options.report_language = language(options)
    text = page(trials, standings, arena, options, TEXTS[options.report_language])
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
