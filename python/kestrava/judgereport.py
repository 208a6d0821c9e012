"""kestrava-judge --report: one self-contained HTML page (inline CSS, SVG and script, nothing fetched): a header,
the ranking with each program's commonest failure and a link to its trials, and every program's trials folded
under it, each drawn on its arena, in the windows' language. A class of thirty over eight seeds is a short page:
the ranking on top, one click to a student's trials."""

from __future__ import annotations

import html
import math

from . import sandbox, simanswers
from .judgescores import Result, Scoring, Trial, failures

SPANISH_RULE = ("Puntuación: la suma de los tiempos de las pruebas; una prueba sin la vela apagada cuenta el "
                "tiempo límite ({limit:g} s); más {penalty:g} s por contacto. Gana la más baja.")
# The bundled arenas' names as the robot view's catalogue has them (translations/view_es.ts).
TEXTS = {
    "es": {
        "title": "Kestrava: resultados de la clase", "rank": "puesto", "program": "programa", "out": "apagadas",
        "score": "puntuación", "median": "mediana", "contacts": "contactos", "seed": "semilla",
        "closest": "lo más cerca de la vela", "fan on": "ventilador encendido", "output": "últimas líneas",
        "candle out": "vela apagada", "time limit": "tiempo límite", "crashed": "el programa falló",
        "ended": "el programa terminó", "did not compile": "no compila", "missing": "falta, cuenta como fallida",
        "legend": "○ salida, — recorrido, ✕ contacto, ● dónde acabó el robot (con su rumbo), vela: naranja "
                  "encendida, gris apagada", "status": "estado de salida", "last line": "última línea", "ended by the judge": "lo terminó el juez",
        "left on": "quedó encendido", "fan": "ventilador", "relay": "relé", "motors": "motores",
        "why": "por qué", "date": "fecha", "arena": "arena", "seeds": "semillas", "limit": "límite",
        "clock": "reloj", "real": "real", "stepped": "por pasos (el tiempo del robot solo avanza con las peticiones "
        "y esperas del programa)", "real and stepped": "real y por pasos", "stuck": "el programa se atascó",
        "stuck why": "ni esperó ni pidió nada al robot en 10 s de tiempo real",
        "version": "versión", "skipped": "archivos no juzgados",
        "trials": "pruebas", "open": "abierta", "house": "casa", "corridor": "pasillo",
        "sandboxed": "Cada programa corrió aislado (sandbox): sin red, con {memory} de memoria, {processes} "
                     "procesos y archivos de hasta {files}.",
        "not sandboxed": "Sin aislamiento (not sandboxed): los programas corrieron con los permisos de quien "
                         "los juzgó.",
    },
    "en": {
        "title": "Kestrava: the class's results", "rank": "rank", "program": "program", "out": "out",
        "score": "score", "median": "median", "contacts": "contacts", "seed": "seed",
        "closest": "closest to the candle", "fan on": "fan on", "output": "last lines",
        "candle out": "candle out", "time limit": "time limit", "crashed": "the program crashed",
        "ended": "the program ended", "did not compile": "did not compile",
        "missing": "missing, counted as failed",
        "legend": "○ start, — path, ✕ contact, ● where the robot ended (with its heading), candle: orange lit, "
                  "grey out", "status": "exit status", "last line": "last line",
        "ended by the judge": "ended by the judge", "left on": "left on", "fan": "fan", "relay": "relay",
        "motors": "motors", "why": "why", "date": "date", "arena": "arena", "seeds": "seeds", "limit": "limit",
        "clock": "clock", "real": "real", "stepped": "stepped (the robot's time moves only by the program's "
        "requests and waits)", "real and stepped": "real and stepped", "stuck": "the program got stuck",
        "stuck why": "neither waited nor asked the robot anything for 10 s of real time",
        "version": "version", "skipped": "files not judged", "trials": "trials",
        "sandboxed": "Each program ran sandboxed: no network, {memory} of memory, {processes} processes, files "
                     "up to {files}.",
        "not sandboxed": "Not sandboxed: the programs ran with the rights of whoever judged them.",
    },
}

# Long words (a traceback's paths) break anywhere, so that nothing is wider than the window.
STYLE = """
body { font-family: sans-serif; margin: 1em 1.5em; color: #222; overflow-wrap: anywhere; }
p.facts { color: #555; }
table.ranking { border-collapse: collapse; margin-bottom: 1em; width: 100%; }
table.ranking td, table.ranking th { border-bottom: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left;
  vertical-align: top; overflow-wrap: normal; }
/* Only the reason gives way to a long line: cut anywhere, the headings and names broke a letter at a time. */
table.ranking td.why { font-size: 0.85em; color: #555; overflow-wrap: anywhere; }
details.program { border-top: 1px solid #ddd; padding: 0.3em 0; }
details.program > summary { cursor: pointer; font-weight: bold; }
div.trials { display: grid; grid-template-columns: repeat(auto-fill, minmax(170px, 1fr)); gap: 0.6em;
  margin-top: 0.5em; }
figure.trial { margin: 0; min-width: 0; border: 1px solid #ccc; border-radius: 4px; padding: 0.4em; }
figure.trial svg { width: 100%; height: auto; background: #fafafa; }
figcaption { font-size: 0.8em; }
.candle-out { color: #1a7f37; } .failed { color: #b42318; }
pre { font-size: 0.72em; background: #f2f2f2; padding: 0.3em; white-space: pre-wrap; overflow-wrap: anywhere;
  margin: 0.3em 0 0; max-height: 9em; overflow-y: auto; }
"""
# A link to a program's trials opens them where they are folded.
SCRIPT = """
function openTarget() { const d = document.getElementById(location.hash.slice(1)); if (d) d.open = true; }
window.addEventListener("hashchange", openTarget); openTarget();
"""


def trial_map(trial, arena: simanswers.WorldAnswer, start) -> str:
    """The arena from above, north up: walls, boxes, the candle, the start, the path, its contacts and its end."""
    h = arena.height
    parts = [f'<svg class="map" viewBox="-5 -5 {arena.width + 10:g} {h + 10:g}" xmlns="http://www.w3.org/2000/svg">',
             f'<rect x="0" y="0" width="{arena.width:g}" height="{h:g}" fill="none" stroke="#333" stroke-width="2"/>']
    parts += [f'<line x1="{x1:g}" y1="{h - y1:g}" x2="{x2:g}" y2="{h - y2:g}" stroke="#333" stroke-width="2"/>'
              for x1, y1, x2, y2 in arena.walls]
    parts += [f'<rect x="{x:g}" y="{h - y - bh:g}" width="{w:g}" height="{bh:g}" fill="#bbb"/>'
              for x, y, w, bh in arena.boxes]
    cx, cy = trial.candle or (-100, -100)
    parts.append(f'<circle class="candle" cx="{cx:g}" cy="{h - cy:g}" r="5" '
                 f'fill="{"#888" if trial.put_out else "#f08c00"}"/>')
    parts.append(f'<circle class="start" cx="{start[0]:g}" cy="{h - start[1]:g}" r="6" fill="none" stroke="#1c7ed6"/>')
    points = " ".join(f"{p.x:.1f},{h - p.y:.1f}" for p in trial.path) or f"{start[0]:g},{h - start[1]:g}"
    parts.append(f'<polyline class="path" points="{points}" fill="none" stroke="#1c7ed6" stroke-width="1.5"/>')
    parts += [f'<path class="contact" d="M{p.x - 4:.1f},{h - p.y - 4:.1f}l8,8m0,-8l-8,8" stroke="#e03131" '
              f'stroke-width="2"/>' for p in trial.path if p.contact]
    if trial.pose:
        x, y, heading = trial.pose
        tip = (x + 15 * math.sin(math.radians(heading)), y + 15 * math.cos(math.radians(heading)))
        parts.append(f'<circle class="end" cx="{x:.1f}" cy="{h - y:.1f}" r="15" fill="#1c7ed6" fill-opacity="0.35"/>'
                     f'<line x1="{x:.1f}" y1="{h - y:.1f}" x2="{tip[0]:.1f}" y2="{h - tip[1]:.1f}" stroke="#0b3d91" '
                     'stroke-width="2"/>')
    return "".join(parts) + "</svg>"


def trial_figure(trial: Trial, arena, start, say) -> str:
    result_class = "candle-out" if trial.put_out else "failed"
    facts = [f'{say["seed"]} {trial.seed}: <b class="{result_class}">{html.escape(say[trial.result.value])}</b> '
             f'{trial.time:.1f} s',
             f'{say["contacts"]} {trial.contacts}, {say["fan on"]} {trial.fan_seconds:.1f} s'
             + ("" if trial.closest is None else f', {say["closest"]} {trial.closest:g} cm')]
    if trial.reason():
        facts.append(html.escape(trial.reason(say)))
    lines = "\n".join(trial.output)
    output = f'<pre title="{say["output"]}">{html.escape(lines)}</pre>' if lines else ""
    drawing = trial_map(trial, arena, start) if trial.candle else ""
    return f'<figure class="trial">{drawing}<figcaption>{"<br>".join(facts)}{output}</figcaption></figure>'


def rule(scoring: Scoring, language: str) -> str:
    """The score rule in the page's language: the judge's own sentence in English."""
    if language == "en":
        return scoring.rule().capitalize() + "."
    return SPANISH_RULE.format(limit=scoring.limit, penalty=scoring.penalty)


def header(arena: simanswers.WorldAnswer, facts: dict, say) -> str:
    shown = [(say["date"], facts["date"]), (say["arena"], say.get(arena.name, arena.name)),
             (say["seeds"], facts["seeds"]), (say["limit"], f'{facts["limit"]:g} s'),
             (say["clock"], say.get(facts["clock"], facts["clock"]) or "—"), (say["version"], facts["version"])]
    text = " · ".join(f"{name}: {html.escape(str(value))}" for name, value in shown)
    skipped = facts.get("skipped") or []
    if skipped:
        text += f'<br>{say["skipped"]}: ' + "; ".join(html.escape(f"{s.file} ({s.why})") for s in skipped)
    return f'<p class="facts">{text}</p>{sandbox_line(facts.get("sandbox"), say)}'


def sandbox_line(sandboxes, say) -> str:
    """Whether the programs ran sandboxed, and in which bounds; nothing for merged trials, which do not say."""
    if not sandboxes:
        return ""
    if sandboxes == "not sandboxed":
        return f'<p class="sandbox">{say["not sandboxed"]}</p>'
    bounds = sandboxes.bounds
    text = say["sandboxed"].format(memory=sandbox.amount(bounds.memory), processes=bounds.processes,
                                   files=sandbox.amount(bounds.file_size))
    return f'<p class="sandbox">{text}</p>'


def ranking_table(standings, by_program, say) -> str:
    head = "".join(f"<th>{say[key]}</th>" for key in ("rank", "program", "out", "score", "median", "contacts", "why"))
    rows = "".join(f'<tr class="rank"><td>{s.rank}</td><td><a href="#p{index}">{html.escape(s.program)}</a></td>'
                   f"<td>{s.out}/{s.trials}</td><td>{s.score:.1f} s</td>"
                   f'<td>{"—" if s.median is None else f"{s.median:.1f} s"}</td><td>{s.contacts}</td>'
                   f'<td class="why">{html.escape(failures(by_program[s.program], say))}</td></tr>'
                   for index, s in enumerate(standings, 1))
    return f'<table class="ranking"><tr>{head}</tr>{rows}</table>'


def program_trials(index: int, standing, own: list[Trial], arena, say) -> str:
    if own and all(t.result is Result.DID_NOT_COMPILE for t in own):  # one note says it for every seed
        figures = f"<p>{html.escape(failures(own, say))}</p>"
    else:
        figures = "".join(trial_figure(t, arena, arena.robot, say) for t in own)
    return (f'<details class="program" id="p{index}"><summary>{standing.rank}. {html.escape(standing.program)} '
            f'— {standing.out}/{standing.trials}, {standing.score:.1f} s</summary>'
            f'<div class="trials">{figures}</div></details>')


def page(trials: list[Trial], arena, scoring: Scoring, language: str, facts: dict) -> str:
    say = TEXTS[language]
    standings = scoring.ranking(trials)
    by_program: dict[str, list[Trial]] = {}
    for trial in trials:
        by_program.setdefault(trial.program, []).append(trial)
    sections = "".join(program_trials(index, s, by_program[s.program], arena, say)
                       for index, s in enumerate(standings, 1))
    return (f'<!DOCTYPE html><html lang="{language}"><head><meta charset="utf-8">'
            f'<meta name="viewport" content="width=device-width, initial-scale=1">'
            f"<title>{say['title']}</title><style>{STYLE}</style></head><body><h1>{say['title']}</h1>"
            f"{header(arena, facts, say)}<p>{rule(scoring, language)}</p>{ranking_table(standings, by_program, say)}"
            f'<p>{say["legend"]}</p>{sections}<script>{SCRIPT}</script></body></html>\n')


def write_report(path: str, trials: list[Trial], scoring: Scoring, arena: simanswers.WorldAnswer, language: str,
                 facts: dict) -> None:
    """The page in `language` ("es" or "en"); raises OSError when it cannot be written. `facts` holds the
    header's date, arena, seeds, limit, clock, version and the files skipped."""
    text = page(trials, arena, scoring, language, facts)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)
